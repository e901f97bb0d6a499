#include "model/functionset.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include <QBuffer>
#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

const QByteArray header = hex("00001405 00000001");
const QByteArray endMarker = hex("FFFFFFFF");
// id 0, "=", "sin(x)", red, enabled, "x"
const QByteArray sinRecord = hex("00000000 00000001 0000000C 00730069006E002800780029"
                                 "FFFF0000 00000001 00000002 0078");

// Takes `room` bytes, then fails every write, as a full disk does.
struct FullDevice final : QBuffer
{
    qint64 room;
    explicit FullDevice(qint64 room)
        : room(room)
    {
        open(QIODevice::WriteOnly);
    }
    qint64 writeData(const char *data, qint64 len) override
    {
        if (len > room)
            return -1;
        room -= len;
        return QBuffer::writeData(data, len);
    }
};

} // namespace

class tst_FunctionSet : public QObject
{
    Q_OBJECT

private slots:
    void write_data()
    {
        QTest::addColumn<bool>("withSin");
        // Written; without the end marker the disk is full after these, and that is reported.
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << false << header + endMarker;
        QTest::newRow("oneFunction") << true << header + sinRecord + endMarker;
        QTest::newRow("diskFullInRecordIsReported") << true << (header + sinRecord).left(20);
    }

    void write()
    {
        QFETCH(bool, withSin);
        QFETCH(QByteArray, bytes);
        GraphWidget graph;
        if (withSin)
            graph.addFunction(0, QStringLiteral("sin(x)"), 'x', QColor(255, 0, 0));
        const bool full = !bytes.endsWith(endMarker);
        FullDevice device(full ? bytes.size() : 1000);
        QCOMPARE(writeFunctionSet(device, graph.getFunctions()), !full);
        QCOMPARE(device.data().toHex(' '), bytes.toHex(' '));
    }

    // What a set adds to a list of three functions (ids 0, 1, 4; next id 3): "id
    // text variable colour enabled equality value-at-2" per function. A damaged
    // set adds nothing.
    void readAndAdd_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("added"); // one function after another, joined by "; "
        const int ok = FunctionSetResult::Ok, bad = FunctionSetResult::BadHeader,
                  damaged = FunctionSetResult::Damaged;
        // Saved ids 0, 2, 5 become fresh ones, past the 4 in use; the colour word's
        // high byte is ignored; a null variable string reads as character 0, "not x".
        const QByteArray three =
            hex("00000000 00000001 00000006 0078005E0032 00112233 00000001 00000002 0078"
                "00000002 00000007 00000006 0079002F0032 12FF8000 00000000 00000002 0079"
                "00000005 00000001 FFFFFFFF FF0000FF 00000003 FFFFFFFF");
        // The copies refer to each other by their new ids, ahead as well; f(4)
        // names no function of the set and stays.
        GraphWidget saved;
        saved.addFunction(7, QStringLiteral("f(0)+f(1)+f(4)"), 'x', Qt::red);
        saved.addFunction(0, QStringLiteral("x^2"), 'x', Qt::red);
        saved.addFunction(1, QStringLiteral("3"), 'x', Qt::red);
        FullDevice referring(1000);
        writeFunctionSet(referring, saved.getFunctions());
        // clang-format off
        QTest::newRow("freshIdsKeptFlags") << header + three + endMarker << ok << "3 x^2 120 #112233 1 1 4; 5 y/2 121 #ff8000 0 7 1; 6  0 #0000ff 1 1 0";
        QTest::newRow("referencesFollowTheCopies") << referring.data() << ok << "3 f(5)+f(6)+f(4) 120 #ff0000 1 1 9; 5 x^2 120 #ff0000 1 1 4; 6 3 120 #ff0000 1 1 3";
        QTest::newRow("empty") << QByteArray() << bad << "";
        QTest::newRow("wrongMagic") << hex("00001406 00000001 FFFFFFFF") << bad << "";
        QTest::newRow("version2") << hex("00001405 00000002 FFFFFFFF") << bad << "";
        QTest::newRow("noEndMarker") << header + sinRecord << damaged << "";
        QTest::newRow("textOfTwoGigabytes") << header + hex("00000000 00000001 7FFFFFF0") + QByteArray(64, 'a') << damaged << "";
        QTest::newRow("oddTextLength") << header + hex("00000000 00000001 00000003 007300 FFFF0000 00000001 00000002 0078") + endMarker << damaged << "";
        QTest::newRow("textLengthAboveIntMax") << header + hex("DEADBEEF 12345678 9ABCDEF0 0F1E2D3C 4B5A6978") << damaged << "";
        // clang-format on
    }

    void readAndAdd()
    {
        QFETCH(QByteArray, bytes);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const FunctionSetResult set = readFunctionSet(buffer);
        QTEST(int(set.status), "status");

        GraphWidget graph;
        for (int id : {0, 1, 4})
            graph.addFunction(id, QStringLiteral("x"), 'x', Qt::black);
        graph.addFunctionSet(set.records);
        QStringList added;
        for (const Function *f = graph.getFunctions(); f; f = f->getNextFunction()) {
            added << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                         .arg(f->getId())
                         .arg(f->getString(), QString::number(f->getIndepVariable()),
                              f->getColor().name())
                         .arg(f->getEnabled())
                         .arg(f->getEquality())
                         .arg(f->evaluate(2));
        }
        QTEST(added.mid(3).join("; "), "added");
    }
};

QTEST_MAIN(tst_FunctionSet)
#include "tst_functionset.moc"
