#include "dialogs/functionset.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray int32(qint32 v)
{
    QByteArray b;
    QDataStream(&b, QIODevice::WriteOnly) << v;
    return b;
}

QByteArray string16(const QString &s)
{
    QByteArray b = int32(qint32(s.size() * 2));
    for (QChar c : s) {
        b.append(char(c.unicode() >> 8));
        b.append(char(c.unicode() & 0xFF));
    }
    return b;
}

const QByteArray header = hex("00001405 00000001");
const QByteArray endMarker = hex("FFFFFFFF");

QByteArray record(qint32 id, qint32 equality, const QString &text, quint32 color, qint32 enabled,
                  const QByteArray &variable)
{
    return int32(id) + int32(equality) + string16(text) + int32(qint32(color)) + int32(enabled) +
           variable;
}

FunctionSetResult readBytes(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readFunctionSet(buffer);
}

// A device that fails every write after a number of bytes, as a full disk does.
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
    void writesEmptySet();
    void writesSinInRed();
    void failedWriteIsReported_data();
    void failedWriteIsReported();
    void loadGivesFreshIdsAndKeepsFlags();
    void saveAndLoadRoundTrip();
    void refusesOtherFormats_data();
    void refusesOtherFormats();
    void damagedFileAddsNothing_data();
    void damagedFileAddsNothing();
    void saveToUnusablePathFails_data();
    void saveToUnusablePathFails();
};

void tst_FunctionSet::writesEmptySet()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(writeFunctionSet(buffer, nullptr));
    QCOMPARE(buffer.data(), hex("00001405 00000001 FFFFFFFF"));
}

void tst_FunctionSet::writesSinInRed()
{
    GraphWidget graph;
    graph.addFunction(0, QStringLiteral("sin(x)"), 'x', QColor(255, 0, 0));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(writeFunctionSet(buffer, graph.getFunctions()));
    QCOMPARE(buffer.data(), hex("00001405 00000001"
                                "00000000 00000001"
                                "0000000C 00730069006E002800780029"
                                "FFFF0000 00000001"
                                "00000002 0078"
                                "FFFFFFFF"));
}

void tst_FunctionSet::failedWriteIsReported_data()
{
    QTest::addColumn<qint64>("room");
    QTest::newRow("noRoomAtAll") << qint64(0);
    QTest::newRow("fullInHeader") << qint64(6);
    QTest::newRow("fullInRecord") << qint64(20);
    QTest::newRow("fullAtEndMarker") << qint64(47);
}

void tst_FunctionSet::failedWriteIsReported()
{
    QFETCH(qint64, room);
    GraphWidget graph;
    graph.addFunction(0, QStringLiteral("sin(x)"), 'x', Qt::red);
    FullDevice device(room); // the whole file is 50 bytes
    QVERIFY(!writeFunctionSet(device, graph.getFunctions()));
}

void tst_FunctionSet::loadGivesFreshIdsAndKeepsFlags()
{
    // Ids 0, 2, 5 from another session; the colour's high byte is not ours to
    // check; an empty variable string means "not x".
    const QByteArray file =
        header + record(0, 1, QStringLiteral("x^2"), 0x00112233, 1, string16("x")) +
        record(2, 7, QStringLiteral("y/2"), 0x12FF8000, 0, string16("y")) +
        record(5, 1, QStringLiteral("sin(y)"), 0xFF0000FF, 3, string16("")) + endMarker;
    const FunctionSetResult set = readBytes(file);
    QCOMPARE(set.status, FunctionSetResult::Ok);
    QCOMPARE(set.records.size(), 3);

    GraphWidget graph;
    for (int id = 0; id < 3; ++id)
        graph.addFunction(id, QStringLiteral("x"), 'x', Qt::black);
    QCOMPARE(graph.getNumberOfFunctions(), 3);
    addFunctionSet(graph, set.records);

    struct Expected
    {
        int id;
        QString text;
        char var;
        QRgb rgb;
        bool enabled;
        int equality;
    };
    const Expected expected[] = {
        {3, QStringLiteral("x^2"), 'x', qRgb(0x11, 0x22, 0x33), true, 1},
        {4, QStringLiteral("y/2"), 'y', qRgb(0xFF, 0x80, 0x00), false, 7},
        {5, QStringLiteral("sin(y)"), 0, qRgb(0, 0, 0xFF), true, 1},
    };
    Function *f = graph.getFunctions();
    for (int i = 0; i < 3; ++i)
        f = f->getNextFunction(); // the three that were there keep their place
    for (const Expected &e : expected) {
        QVERIFY(f);
        QCOMPARE(f->getId(), e.id);
        QCOMPARE(f->getString(), e.text);
        QCOMPARE(f->getIndepVariable(), e.var);
        QCOMPARE(f->getColor().rgb(), e.rgb);
        QCOMPARE(f->getEnabled(), e.enabled);
        QCOMPARE(f->getEquality(), e.equality);
        f = f->getNextFunction();
    }
    QVERIFY(!f);
    QCOMPARE(graph.getNumberOfFunctions(), 6);
}

void tst_FunctionSet::saveAndLoadRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set"));
    GraphWidget saved;
    saved.addFunction(0, QStringLiteral("x**2"), 'x', QColor(12, 34, 56));
    saved.addFunction(1, QString(), 'y', QColor(255, 255, 254));
    saved.setFunctionEnabled(0, false);
    QCOMPARE(saveFunctionSet(path, saved.getFunctions()), SaveResult::Ok);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const FunctionSetResult set = readFunctionSet(file);
    QCOMPARE(set.status, FunctionSetResult::Ok);
    GraphWidget loaded;
    addFunctionSet(loaded, set.records);
    const Function *a = saved.getFunctions();
    const Function *b = loaded.getFunctions();
    for (; a && b; a = a->getNextFunction(), b = b->getNextFunction()) {
        QCOMPARE(b->getId(), a->getId()); // an empty set hands out the same ids
        QCOMPARE(b->getString(), a->getString());
        QCOMPARE(b->getIndepVariable(), a->getIndepVariable());
        QCOMPARE(b->getColor(), a->getColor());
        QCOMPARE(b->getEnabled(), a->getEnabled());
    }
    QVERIFY(!a && !b);
}

void tst_FunctionSet::refusesOtherFormats_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("magicOnly") << hex("00001405");
    QTest::newRow("wrongMagic") << hex("00001406 00000001 FFFFFFFF");
    QTest::newRow("littleEndianMagic") << hex("05140000 01000000 FFFFFFFF");
    QTest::newRow("version2") << hex("00001405 00000002 FFFFFFFF");
    QTest::newRow("text") << QByteArray("sin(x)\ncos(x)\n");
}

void tst_FunctionSet::refusesOtherFormats()
{
    QFETCH(QByteArray, bytes);
    const FunctionSetResult set = readBytes(bytes);
    QCOMPARE(set.status, FunctionSetResult::BadHeader);
    QVERIFY(set.records.isEmpty());
}

void tst_FunctionSet::damagedFileAddsNothing_data()
{
    const QByteArray good = record(0, 1, QStringLiteral("sin(x)"), 0xFFFF0000, 1, string16("x"));
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("noEndMarker") << header + good;
    QTest::newRow("cutInEndMarker") << header + good + hex("FFFF");
    QTest::newRow("cutInId") << header + good + hex("0000");
    QTest::newRow("cutInText") << header + good.left(15);
    QTest::newRow("cutInVariable") << header + good.left(good.size() - 1);
    QTest::newRow("textLongerThanFile")
        << header + int32(0) + int32(1) + hex("00000064 0073") + endMarker;
    QTest::newRow("textOfTwoGigabytes")
        << header + int32(0) + int32(1) + hex("7FFFFFF0") + QByteArray(64, 'a') + endMarker;
    QTest::newRow("textOfFourGigabytes")
        << header + int32(0) + int32(1) + hex("FFFFFFFE") + QByteArray(64, 'a') + endMarker;
    QTest::newRow("oddTextLength") << header + int32(0) + int32(1) + hex("00000003 007300") +
                                          hex("FFFF0000 00000001 00000002 0078") + endMarker;
    QTest::newRow("garbageAfterHeader")
        << header + hex("DEADBEEF 12345678 9ABCDEF0 0F1E2D3C 4B5A6978 8796A5B4");
}

void tst_FunctionSet::damagedFileAddsNothing()
{
    QFETCH(QByteArray, bytes);
    const FunctionSetResult set = readBytes(bytes);
    QCOMPARE(set.status, FunctionSetResult::Damaged);
    QVERIFY(set.records.isEmpty());
}

void tst_FunctionSet::saveToUnusablePathFails_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("folderWithSlash") << QStringLiteral("/");
    QTest::newRow("folderWithoutSlash") << QString();
    QTest::newRow("missingFolder") << QStringLiteral("/missing/set");
}

void tst_FunctionSet::saveToUnusablePathFails()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QCOMPARE(saveFunctionSet(dir.path() + name, nullptr), SaveResult::OpenFailed);
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             QStringList());
}

QTEST_MAIN(tst_FunctionSet)
#include "tst_functionset.moc"
