#include "model/function.h"
#include "model/numbertext.h"

#include <QDataStream>
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

namespace {

QStringList debugLines;

void collectDebug(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtDebugMsg && debugLines.size() < 16) // long chains write millions
        debugLines << msg;
}

// Records "id:var:text" linked the way the plot widget links them, all created
// before any text is prepared so that references may also point forwards.
std::vector<std::unique_ptr<Function>> makeList(const QStringList &records)
{
    std::vector<std::unique_ptr<Function>> list;
    for (const QString &record : records) {
        Function *head = list.empty() ? nullptr : list.front().get();
        list.push_back(std::make_unique<Function>(record.section(':', 0, 0).toInt(), QString(),
                                                  record[record.indexOf(':') + 1].toLatin1(),
                                                  QColor(Qt::red), head));
        if (list.size() > 1) {
            list[list.size() - 2]->setNextFunction(list.back().get());
            list.back()->setPrevFunction(list[list.size() - 2].get());
        }
    }
    for (size_t i = 0; i < list.size(); ++i)
        list[i]->setString(records[int(i)].section(':', 2));
    return list;
}

} // namespace

class tst_Function : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        debugLines.clear();
        qInstallMessageHandler(collectDebug);
    }
    void cleanup() { qInstallMessageHandler(nullptr); }
    void preparation_data();
    void preparation();
    void referenceWritesDebugLines();
    void streamBytes_data();
    void streamBytes();
    void numberText_data();
    void numberText();
};

void tst_Function::preparation_data()
{
    QTest::addColumn<QStringList>("records"); // the last one is evaluated
    QTest::addColumn<double>("at");
    QTest::addColumn<double>("expected");
    QTest::addColumn<QString>("error"); // set: must fail to compile with this message

    QStringList doubling{"1:x:x"};
    for (int i = 2; i <= 30; ++i)
        doubling << QStringLiteral("%1:x:f(%2)+f(%2)").arg(i).arg(i - 1);
    // clang-format off
    QTest::newRow("powerStars") << QStringList{"0:x:x**2"} << 3.0 << 9.0 << "";
    QTest::newRow("barePi") << QStringList{"0:x:2*pi"} << 5.0 << 6.283185307179586 << "";
    QTest::newRow("typedPiCall") << QStringList{"0:x:pi()*x"} << 2.0 << 6.283185307179586 << "";
    QTest::newRow("reference") << QStringList{"1:x:sin(x)", "2:x:f(1)*2"} << 0.5 << 2 * std::sin(0.5) << "";
    QTest::newRow("forwardReference") << QStringList{"2:x:x**3", "1:x:f(2)+1"} << 2.0 << 9.0 << "";
    QTest::newRow("nestedReference") << QStringList{"0:x:x", "1:x:f(0)+1", "2:x:f(1)*2"} << 3.0 << 8.0 << "";
    QTest::newRow("functionOfY") << QStringList{"0:y:y^2-1"} << 3.0 << 8.0 << "";
    QTest::newRow("emptyText") << QStringList{"0:x:"} << 1.0 << 0.0 << "";
    // A NUL ends the other text where the compiler would end it.
    QTest::newRow("nulInReferencedText") << QStringList{QStringLiteral("0:x:2\0" "5"), "1:x:f(0)*x"} << 3.0 << 6.0 << "";
    QTest::newRow("missingReference") << QStringList{"0:x:f(9)+1"} << 1.0 << 0.0 << "function not found";
    QTest::newRow("selfReference") << QStringList{"4:x:f(4)+1"} << 1.0 << 0.0 << "undeclared parameter";
    QTest::newRow("referenceToFunctionOfY") << QStringList{"1:y:y", "2:x:f(1)"} << 1.0 << 0.0 << "undeclared parameter";
    QTest::newRow("loopBackToStart") << QStringList{"2:x:f(1)", "1:x:f(2)"} << 1.0 << 0.0 << "undeclared parameter";
    QTest::newRow("loopOnOther") << QStringList{"2:x:f(2)", "1:x:f(2)"} << 1.0 << 0.0 << "undeclared parameter";
    QTest::newRow("loopInChain") << QStringList{"2:x:f(3)", "3:x:f(2)", "1:x:f(2)"} << 1.0 << 0.0 << "undeclared parameter";
    // Longer than 4,096 characters once expanded, and no cycle.
    const QString sum = QStringLiteral("x+").repeated(1050) + QLatin1Char('x');
    QTest::newRow("longExpansion") << QStringList{"0:x:" + sum, "1:x:f(0)+f(0)"} << 1.0 << 2102.0 << "";
    QTest::newRow("exponentialChain") << doubling << 1.0 << 0.0 << "undeclared parameter";
    QTest::newRow("noImplicitProduct") << QStringList{"0:x:2x"} << 1.0 << 0.0 << "syntax error";
    // clang-format on
}

void tst_Function::preparation()
{
    QFETCH(QStringList, records);
    QFETCH(double, at);
    QFETCH(QString, error);
    fset_error(nullptr);
    auto list = makeList(records);
    Function &f = *list.back();
    QCOMPARE(QString::fromLatin1(fget_error()), error); // message of the last preparation
    QCOMPARE(f.getString(), records.last().section(':', 2));
    QCOMPARE(!f.getFormula().code, !error.isEmpty() || f.getString().isEmpty());
    QTEST(f.evaluate(at), "expected");
}

void tst_Function::referenceWritesDebugLines()
{
    makeList({"1:x:sin(x)", "2:x:f(1)*2"});
    QCOMPARE(debugLines, (QStringList{"insFuncString: 1", "insFuncNumber: 1"}));
}

void tst_Function::streamBytes_data()
{
    QTest::addColumn<char>("var");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("functionOfX") << 'x' << true << QByteArray::fromHex("00000001 00000002 0078");
    QTest::newRow("functionOfYOff")
        << 'y' << false << QByteArray::fromHex("00000000 00000002 0079");
}

void tst_Function::streamBytes()
{
    QFETCH(char, var);
    QFETCH(bool, enabled);
    QFETCH(QByteArray, tail);
    Function f(3, QStringLiteral("sin(x)"), var, QColor(255, 0, 0), nullptr);
    f.setFBoxIndex(7); // not written
    f.setEnabled(enabled);
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << f;
    // id, equality, text (byte count, UTF-16), colour word, enabled, variable
    const QByteArray head =
        QByteArray::fromHex("00000003 00000001 0000000c 00730069006e002800780029 ffff0000");
    QCOMPARE(bytes.toHex(' '), (head + tail).toHex(' '));
}

void tst_Function::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    // Ties round to even as printf does, where Qt's own formatting rounds away.
    QTest::newRow("tieToEven") << 1.140625 << "1.14062";
    QTest::newRow("tieToEvenLarge") << 100000.5 << "100000";
    QTest::newRow("tieToEvenSmall") << 0.2578125 << "0.257812";
    QTest::newRow("negativeZero") << -0.0 << "-0";
    QTest::newRow("negativeNan") << -std::nan("") << "-nan";
    QTest::newRow("exponent") << -7.99997e-05 << "-7.99997e-05";
}

void tst_Function::numberText()
{
    QFETCH(double, value);
    QTEST(formatNumber(value), "text");
}

QTEST_GUILESS_MAIN(tst_Function)
#include "tst_function.moc"
