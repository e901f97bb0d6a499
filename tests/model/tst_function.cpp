#include "model/function.h"
#include "model/compilemessage.h"

#include <QtTest>

#include <cmath>
#include <list>

namespace {

// Records "id:var:text" linked the way the plot widget links them, all created
// before any text is prepared so that references may also point forwards.
std::list<Function> makeList(const QStringList &records)
{
    std::list<Function> list;
    for (const QString &r : records) {
        Function *head = list.empty() ? nullptr : &list.front();
        Function *prev = list.empty() ? nullptr : &list.back();
        list.emplace_back(r.section(':', 0, 0).toInt(), QString(),
                          r.section(':', 1, 1)[0].toLatin1(), QColor(Qt::red), head);
        if (prev)
            prev->setNextFunction(&list.back());
    }
    auto text = records.begin();
    for (Function &f : list)
        f.setString((text++)->section(':', 2));
    return list;
}

} // namespace

class tst_Function : public QObject
{
    Q_OBJECT
private slots:
    void preparation_data()
    {
        QTest::addColumn<QStringList>("records"); // the last one is evaluated at 2
        QTest::addColumn<double>("expected");
        QTest::addColumn<QString>("error"); // set: must fail to compile with this message
        QStringList doubling{"1:x:x"};
        for (int i = 2; i <= 30; ++i)
            doubling << QStringLiteral("%1:x:f(%2)+f(%2)").arg(i).arg(i - 1);
        const QString undeclared = QStringLiteral("undeclared parameter");
        // clang-format off
        QTest::newRow("powerStarsAndPi") << QStringList{"0:x:x**2+pi*pi()"} << 4 + M_PI * M_PI << "";
        QTest::newRow("nestedAndForwardReferences") << QStringList{"2:x:x**3", "0:x:f(2)+1", "1:x:f(0)*2"} << 18.0 << "";
        QTest::newRow("functionOfY") << QStringList{"0:y:y^2-1"} << 3.0 << "";
        QTest::newRow("emptyText") << QStringList{"0:x:"} << 0.0 << "";
        // A NUL ends the other text where the compiler would end it.
        QTest::newRow("nulInReferencedText") << QStringList{QStringLiteral("0:x:2\0" "5"), "1:x:f(0)*x"} << 4.0 << "";
        // An unclosed reference takes the rest of the text as its number.
        QTest::newRow("unclosedReference") << QStringList{"12:x:x", "1:x:x*3", "0:x:2*f(12"} << 4.0 << "";
        QTest::newRow("missingReference") << QStringList{"0:x:f(9)+1"} << 0.0 << "function not found";
        QTest::newRow("selfReference") << QStringList{"4:x:f(4)+1"} << 0.0 << undeclared;
        QTest::newRow("loopBackToStart") << QStringList{"2:x:f(1)", "1:x:f(2)"} << 0.0 << undeclared;
        QTest::newRow("loopInChain") << QStringList{"2:x:f(3)", "3:x:f(2)", "1:x:f(2)"} << 0.0 << undeclared;
        // Longer than 4,096 characters once expanded, and no cycle.
        const QString sum = QStringLiteral("x+").repeated(1050) + QLatin1Char('x');
        QTest::newRow("longExpansion") << QStringList{"0:x:" + sum, "1:x:f(0)+f(0)"} << 4204.0 << "";
        QTest::newRow("exponentialChain") << doubling << 0.0 << undeclared;
        // clang-format on
    }

    void preparation()
    {
        QFETCH(QStringList, records);
        QFETCH(QString, error);
        fset_error(nullptr);
        auto list = makeList(records);
        const Function &f = list.back();
        QCOMPARE(QString::fromLatin1(fget_error()), error); // message of the last preparation
        QCOMPARE(f.getString(), records.last().section(':', 2));
        QCOMPARE(!f.getFormula().code, !error.isEmpty() || f.getString().isEmpty());
        QTEST(f.evaluate(2), "expected");
    }

    // Once per real preparation; the compile-message check (a trial preparation
    // on every keystroke) writes none.
    void referenceWritesDebugLines()
    {
        static QStringList lines;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &line) { lines << line; });
        auto list = makeList({"1:x:sin(x)", "2:x:f(1)*2"});
        const QString message = compileMessage(QStringLiteral("f(1)+f(2)*"), 'x', 3, &list.front());
        qInstallMessageHandler(previous);
        QCOMPARE(lines, QStringList({"insFuncString: 1", "insFuncNumber: 1"}));
        QCOMPARE(message, QStringLiteral("missing operand"));
    }
};

QTEST_GUILESS_MAIN(tst_Function)
#include "tst_function.moc"
