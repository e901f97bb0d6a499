#include "formula/formula.h"

#include <QTest>

#include <cmath>

namespace {

formu compile(const char *text, const char *args)
{
    int length = 0, error = 0;
    return translate(text, args, &length, &error);
}

double quadruple(double a)
{
    return 4 * a;
}

} // namespace

class tst_Evaluator : public QObject
{
    Q_OBJECT

private slots:
    void handMadeCode_data();
    void handMadeCode();
    void stackNeverOverruns();
    void parameters();
    void foreignLetters();
    void emptyFormula();
    void infinityIsNoError();
    void argumentOrder_data();
    void argumentOrder();
    void randomCalls();
    void badArity();
};

void tst_Evaluator::handMadeCode_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<double>("result");
    QTest::addColumn<QByteArray>("message");
    const QByteArray corrupted("I3: corrupted buffer");
    QTest::newRow("sum") << QByteArray("D\x00"
                                       "D\x01+",
                                       5)
                         << 5.0 << QByteArray();
    QTest::newRow("negatePower") << QByteArray("D\x00"
                                               "D\x01^M",
                                               6)
                                 << -8.0 << QByteArray();
    QTest::newRow("unknownOperator")
        << QByteArray("D\x00Q", 3) << 0.0 << QByteArray("I1: unrecognizable operator");
    QTest::newRow("emptyCode") << QByteArray() << 0.0 << corrupted;
    QTest::newRow("twoValuesLeft") << QByteArray("D\x01"
                                                 "D\x00",
                                                 4)
                                   << 3.0 << corrupted;
    QTest::newRow("operatorWithoutOperands") << QByteArray("+") << 0.0 << corrupted;
    QTest::newRow("operatorWithOneOperand") << QByteArray("D\x00*", 3) << 0.0 << corrupted;
    QTest::newRow("negateNothing") << QByteArray("M") << 0.0 << corrupted;
    QTest::newRow("callWithoutArgument") << QByteArray("F\x02") << 0.0 << corrupted;
    QTest::newRow("twoArgumentCallWithOne") << QByteArray("D\x00"
                                                          "F\x08",
                                                          4)
                                            << 0.0 << corrupted;
    QTest::newRow("parameterNotALetter") << QByteArray("V{") << 0.0 << corrupted;
    QTest::newRow("callOfEmptyRow")
        << QByteArray("F\xc8") << 0.0 << QByteArray("function not found");
}

void tst_Evaluator::handMadeCode()
{
    QFETCH(QByteArray, code);
    QFETCH(double, result);
    QFETCH(QByteArray, message);
    double constants[] = {2.0, 3.0};
    code.append('\0');
    fset_error(nullptr);
    QCOMPARE(value(formu{reinterpret_cast<unsigned char *>(code.data()), constants}), result);
    QCOMPARE(QByteArray(fget_error()), message);
}

void tst_Evaluator::stackNeverOverruns()
{
    double constant = 1.0;
    for (int pushes : {VALUE_STACK_SIZE, VALUE_STACK_SIZE + 1, 5000}) {
        QByteArray code;
        for (int i = 0; i < pushes; ++i)
            code.append("D\0", 2);
        for (int i = 1; i < pushes; ++i)
            code.append('+');
        code.append('\0');
        fset_error(nullptr);
        double v = value(formu{reinterpret_cast<unsigned char *>(code.data()), &constant});
        if (pushes <= VALUE_STACK_SIZE) {
            QCOMPARE(v, double(pushes));
            QVERIFY(!fget_error());
        } else {
            QCOMPARE(v, 0.0);
            QCOMPARE(fget_error(), "I3: corrupted buffer");
        }
    }
}

void tst_Evaluator::parameters()
{
    formu f = compile("3*x^2", "x");
    QCOMPARE(fval(f, "x", 2.0), 12.0);
    QCOMPARE(fval_at(f), 12.0); // x keeps its value
    QCOMPARE(f_x_val(f, 1.0), 3.0);
    make_var('x', 3.0);
    QCOMPARE(fval_at(f), 27.0);
    destrf(f);

    formu g = compile("a-z", "az");
    QCOMPARE(fval(g, "za", 1.0, 5.0), 4.0);
    destrf(g);
}

// Letters without a parameter are skipped, but their argument is still consumed.
void tst_Evaluator::foreignLetters()
{
    formu f = compile("a*100+z", "az");
    QCOMPARE(fval(f, "a{z", 1.0, 99.0, 2.0), 102.0);
    QCOMPARE(fval(f, "A`a", 7.0, 8.0, 3.0), 302.0);
    make_var('{', 5.0);
    make_var('\xff', 5.0);
    make_var('@', 5.0);
    QCOMPARE(fval_at(f), 302.0);
    destrf(f);
}

void tst_Evaluator::emptyFormula()
{
    formu empty{nullptr, nullptr};
    QCOMPARE(fval(empty, "x", 1.0), 0.0);
    QCOMPARE(fget_error(), "empty coded function");
    QCOMPARE(fnot_empty(empty), 0);
    QVERIFY(!fget_error());
    formu f = compile("x", "x");
    QCOMPARE(fnot_empty(f), 1);
    fset_error("x");
    make_empty(f);
    QVERIFY(!fget_error());
    destrf(f);
    destrf(empty);
}

void tst_Evaluator::infinityIsNoError()
{
    formu f = compile("1/x", "x");
    QCOMPARE(fval(f, "x", 0.0), HUGE_VAL);
    QVERIFY(!fget_error());
    QVERIFY(std::isnan(fval(f, "x", std::nan(""))));
    destrf(f);
}

void tst_Evaluator::argumentOrder_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("result");
    QTest::newRow("positive") << 1.0 << 1.5707963267948966;
    QTest::newRow("negative") << -1.0 << -1.5707963267948966;
}

void tst_Evaluator::argumentOrder()
{
    QFETCH(double, x);
    QFETCH(double, result);
    formu f = compile("atan2(x,0)", "x");
    QCOMPARE(fval(f, "x", x), result);
    destrf(f);
}

void tst_Evaluator::randomCalls()
{
    formu f = compile("rnd()", "");
    double a = fval_at(f), b = fval_at(f);
    QVERIFY(a != b);
    for (double r : {a, b})
        QVERIFY(r >= 0.0 && r < 1.0);
    destrf(f);
}

// A row with more than three parameters can only come from writing the table
// directly; the evaluator still refuses to call it.
void tst_Evaluator::badArity()
{
    formu f = compile("exp(x)", "x");
    frow saved = ftable[0];
    ftable[0] = frow{"exp", quadruple, 4, 0};
    QCOMPARE(fval(f, "x", 1.0), 0.0);
    QCOMPARE(fget_error(), "I2: too many parameters\n");
    ftable[0] = saved;
    QCOMPARE(fval(f, "x", 0.0), 1.0);
    destrf(f);
}

QTEST_GUILESS_MAIN(tst_Evaluator)
#include "tst_evaluator.moc"
