#include "formula/formula.h"

#include <QTest>

#include <cstring>
#include <string>

namespace {

double twice(double a)
{
    return 2 * a;
}

double counter()
{
    static double n = 0;
    return ++n;
}

// (a, b, c) -> a*100 + b*10 + c shows the argument order.
double digits(double a, double b, double c)
{
    return a * 100 + b * 10 + c;
}

template<typename F>
ffunc row(F f)
{
    return reinterpret_cast<ffunc>(reinterpret_cast<void (*)()>(f));
}

int rowsInUse()
{
    int n = 0;
    while (ftable[n].func)
        ++n;
    return n;
}

double evaluate(const char *text)
{
    int length = 0, error = 0;
    formu f = translate(text, "x", &length, &error);
    double v = fval(f, "x", 2.0);
    destrf(f);
    return v;
}

} // namespace

class tst_FTable : public QObject
{
    Q_OBJECT

private slots:
    void lookup_data();
    void lookup();
    void readRow_data();
    void readRow();
    void rejectedDefinitions_data();
    void rejectedDefinitions();
    void redefineBuiltin();
    void userFunctionsInFormulas();
    void fillAndDelete();
    void deletedRowInCompiledCode();
    void emptyMessageClears();
};

void tst_FTable::lookup_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("index");
    QTest::newRow("first") << QByteArray("exp") << 0;
    QTest::newRow("twoArguments") << QByteArray("atan2") << 8;
    QTest::newRow("last") << QByteArray("rnd") << 12;
    QTest::newRow("caseSensitive") << QByteArray("Sin") << -1;
    QTest::newRow("prefixOnly") << QByteArray("at") << -1;
    QTest::newRow("empty") << QByteArray("") << -1;
}

void tst_FTable::lookup()
{
    QFETCH(QByteArray, name);
    QFETCH(int, index);
    fset_error("stale");
    QCOMPARE(where_table(name.constData()), index);
    QCOMPARE(fget_error(), index < 0 ? "function not found" : nullptr);
}

void tst_FTable::readRow_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("name"); // empty: no such row
    QTest::addColumn<int>("nPars");
    QTest::addColumn<int>("varying");
    QTest::newRow("atan2") << 8 << QByteArray("atan2") << 2 << 0;
    QTest::newRow("pi") << 11 << QByteArray("pi") << 0 << 0;
    QTest::newRow("rndVaries") << 12 << QByteArray("rnd") << 0 << 1;
    QTest::newRow("firstEmptyRow") << 13 << QByteArray() << 0 << 0;
    QTest::newRow("negative") << -1 << QByteArray() << 0 << 0;
    QTest::newRow("pastTable") << 256 << QByteArray() << 0 << 0;
}

void tst_FTable::readRow()
{
    QFETCH(int, index);
    QFETCH(QByteArray, name);
    QFETCH(int, nPars);
    QFETCH(int, varying);
    char buffer[32] = "untouched";
    int n = -5, v = -5;
    int ok = read_table(index, buffer, &n, &v);
    if (name.isEmpty()) {
        QCOMPARE(ok, 0);
        QCOMPARE(fget_error(), "index out of bounds");
        QCOMPARE(QByteArray(buffer), QByteArray("untouched"));
        QCOMPARE(n, -5);
        return;
    }
    QCOMPARE(ok, 1);
    QVERIFY(!fget_error());
    QCOMPARE(QByteArray(buffer), name);
    QCOMPARE(n, nPars);
    QCOMPARE(v, varying);
}

void tst_FTable::rejectedDefinitions_data()
{
    QTest::addColumn<int>("nPars");
    QTest::addColumn<bool>("nullFunction");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("fourParameters") << 4 << false << QByteArray("invalid number of parameters");
    QTest::newRow("negativeCount") << -1 << false << QByteArray("invalid number of parameters");
    // A null function would mark the row empty and cut the table short.
    QTest::newRow("nullFunction") << 1 << true << QByteArray("invalid function");
}

void tst_FTable::rejectedDefinitions()
{
    QFETCH(int, nPars);
    QFETCH(bool, nullFunction);
    QFETCH(QByteArray, message);
    for (const char *name : {"exp", "brandnew"}) {
        QCOMPARE(fnew(name, nullFunction ? nullptr : twice, nPars, 0), 0);
        QCOMPARE(QByteArray(fget_error()), message);
    }
    QCOMPARE(rowsInUse(), 13);
    QCOMPARE(evaluate("exp(0)"), 1.0);
}

void tst_FTable::redefineBuiltin()
{
    QCOMPARE(fnew("sin", twice, 1, 0), 1);
    QVERIFY(!fget_error());
    QCOMPARE(where_table("sin"), 2);
    QCOMPARE(evaluate("sin(x)"), 4.0);
    QCOMPARE(fdel("sin"), -1);
    QCOMPARE(fget_error(), "original functions may not be deleted");
    QCOMPARE(fnew("sin", row(static_cast<double (*)(double)>(std::sin)), 1, 0), 1);
    QCOMPARE(evaluate("sin(x)"), std::sin(2.0));
}

void tst_FTable::userFunctionsInFormulas()
{
    QCOMPARE(fnew("digits", row(digits), 3, 0), 1);
    QCOMPARE(fnew("counter", row(counter), 0, 1), 1);
    int length = 0, error = 0;
    formu f = translate("digits(1,2,3)+counter()", "", &length, &error);
    // The constant call folds; the varying one stays in the code.
    QCOMPARE(QByteArray(reinterpret_cast<char *>(f.code), length).toHex(' '),
             QByteArray("44 00 46 0e 2b"));
    QCOMPARE(f.ctable[0], 123.0);
    double first = fval_at(f);
    QCOMPARE(fval_at(f), first + 1);
    destrf(f);
    QCOMPARE(evaluate("digits(x,x*2,3)"), 243.0);
    QCOMPARE(fdel("counter"), 15);
    QCOMPARE(fdel("digits"), 14);
    QCOMPARE(rowsInUse(), 13);
}

void tst_FTable::fillAndDelete()
{
    std::string names[242];
    for (int i = 0; i < 242; ++i) {
        names[i] = "f" + std::to_string(i);
        QCOMPARE(fnew(names[i].c_str(), twice, 1, i % 3), 1);
    }
    QCOMPARE(rowsInUse(), 255);
    QCOMPARE(fnew("onemore", twice, 1, 0), 0);
    QCOMPARE(fget_error(), "function table full");
    QCOMPARE(fnew("f7", twice, 2, 1), 1); // redefining still works when full
    QCOMPARE(ftable[20].n_pars, 2);
    QVERIFY(!ftable[255].func);

    QCOMPARE(fdel("f5"), 255);
    QVERIFY(!fget_error());
    QCOMPARE(rowsInUse(), 254);
    for (int i = 6; i < 242; ++i) {
        QCOMPARE(where_table(names[i].c_str()), 13 + i - 1);
        QCOMPARE(ftable[13 + i - 1].varying, i % 3);
    }
    QCOMPARE(where_table("f5"), -1);
    QCOMPARE(fdel("f5"), -1);
    QCOMPARE(fget_error(), "function not found");
    for (int i = 0; i < 242; ++i) {
        if (i != 5)
            fdel(names[i].c_str());
    }
    QCOMPARE(rowsInUse(), 13);
}

void tst_FTable::deletedRowInCompiledCode()
{
    QCOMPARE(fnew("gone", twice, 1, 1), 1);
    int length = 0, error = 0;
    formu f = translate("gone(x)", "x", &length, &error);
    QVERIFY(f.code);
    QCOMPARE(fdel("gone"), 14);
    QCOMPARE(fval(f, "x", 1.0), 0.0);
    QCOMPARE(fget_error(), "function not found");
    destrf(f);
}

void tst_FTable::emptyMessageClears()
{
    fset_error("something");
    QCOMPARE(fget_error(), "something");
    fset_error("");
    QVERIFY(!fget_error());
}

QTEST_GUILESS_MAIN(tst_FTable)
#include "tst_ftable.moc"
