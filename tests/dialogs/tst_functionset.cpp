#include "dialogs/functionset.h"
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

FunctionSetResult readBytes(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readFunctionSet(buffer);
}

// A device that fails every write once it has taken a number of bytes, as a
// full disk does.
class FullDevice final : public QIODevice
{
public:
    explicit FullDevice(qint64 room)
        : room(room)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 len) override
    {
        if (len > room)
            return -1;
        room -= len;
        return len;
    }

private:
    qint64 room;
};

} // namespace

class tst_FunctionSet : public QObject
{
    Q_OBJECT

private slots:
    void writesExactBytes();
    void failedWriteIsReported();
    void loadGivesFreshIdsAndKeepsFlags();
    void rejectsOrAddsNothing_data();
    void rejectsOrAddsNothing();
};

void tst_FunctionSet::writesExactBytes()
{
    GraphWidget graph;
    QBuffer empty;
    empty.open(QIODevice::WriteOnly);
    QVERIFY(writeFunctionSet(empty, graph.getFunctions()));
    QCOMPARE(empty.data(), header + endMarker); // 12 bytes

    graph.addFunction(0, QStringLiteral("sin(x)"), 'x', QColor(255, 0, 0));
    QBuffer one;
    one.open(QIODevice::WriteOnly);
    QVERIFY(writeFunctionSet(one, graph.getFunctions()));
    QCOMPARE(one.data().toHex(' '), (header + sinRecord + endMarker).toHex(' '));
}

void tst_FunctionSet::failedWriteIsReported()
{
    GraphWidget graph;
    graph.addFunction(0, QStringLiteral("sin(x)"), 'x', Qt::red);
    FullDevice device(20); // fills up in the middle of the record
    QVERIFY(!writeFunctionSet(device, graph.getFunctions()));
}

void tst_FunctionSet::loadGivesFreshIdsAndKeepsFlags()
{
    // Saved ids 0, 2, 5; the colour word's high byte is ignored; a null
    // variable string reads as character 0, which means "not x".
    const FunctionSetResult set =
        readBytes(header +
                  hex("00000000 00000001 00000006 0078005E0032 00112233 00000001 00000002 0078"
                      "00000002 00000007 00000006 0079002F0032 12FF8000 00000000 00000002 0079"
                      "00000005 00000001 FFFFFFFF FF0000FF 00000003 FFFFFFFF") +
                  endMarker);
    QCOMPARE(set.status, FunctionSetResult::Ok);

    GraphWidget graph;
    for (int id = 0; id < 3; ++id)
        graph.addFunction(id, QStringLiteral("x"), 'x', Qt::black);
    addFunctionSet(graph, set.records);

    QStringList loaded;
    for (const Function *f = graph.getFunctions(); f; f = f->getNextFunction()) {
        loaded << QStringLiteral("%1 %2 %3 %4 %5 %6")
                      .arg(f->getId())
                      .arg(f->getString(), QString::number(f->getIndepVariable()),
                           f->getColor().name())
                      .arg(f->getEnabled())
                      .arg(f->getEquality());
    }
    QCOMPARE(loaded.mid(3),
             (QStringList{"3 x^2 120 #112233 1 1", "4 y/2 121 #ff8000 0 7", "5  0 #0000ff 1 1"}));
    QCOMPARE(graph.getNumberOfFunctions(), 6);
}

void tst_FunctionSet::rejectsOrAddsNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    const int bad = FunctionSetResult::BadHeader;
    const int damaged = FunctionSetResult::Damaged;
    QTest::newRow("empty") << QByteArray() << bad;
    QTest::newRow("wrongMagic") << hex("00001406 00000001 FFFFFFFF") << bad;
    QTest::newRow("version2") << hex("00001405 00000002 FFFFFFFF") << bad;
    QTest::newRow("noEndMarker") << header + sinRecord << damaged;
    QTest::newRow("cutInText") << header + sinRecord.left(15) << damaged;
    QTest::newRow("textLongerThanFile")
        << header + hex("00000000 00000001 00000064 0073") + endMarker << damaged;
    QTest::newRow("textOfTwoGigabytes")
        << header + hex("00000000 00000001 7FFFFFF0") + QByteArray(64, 'a') << damaged;
    QTest::newRow("oddTextLength")
        << header + hex("00000000 00000001 00000003 007300 FFFF0000 00000001 00000002 0078") +
               endMarker
        << damaged;
    QTest::newRow("garbage") << header + hex("DEADBEEF 12345678 9ABCDEF0 0F1E2D3C 4B5A6978")
                             << damaged;
}

void tst_FunctionSet::rejectsOrAddsNothing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    const FunctionSetResult set = readBytes(bytes);
    QCOMPARE(int(set.status), status);
    QVERIFY(set.records.isEmpty());
}

QTEST_MAIN(tst_FunctionSet)
#include "tst_functionset.moc"
