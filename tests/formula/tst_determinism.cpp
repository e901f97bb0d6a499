#include "formula/formula.h"

#include <QTest>

#include <cmath>
#include <cstdint>
#include <cstring>

// Evaluated values must be exactly those of the same arithmetic written in C++
// with the C library's functions: '^' is pow (never x*x), operators associate
// to the left, and folded constants are computed by the evaluator itself.

using Reference = double (*)(double);
Q_DECLARE_METATYPE(Reference)

namespace {

// Through a volatile pointer, so that the compiler cannot turn pow(x, 2.0) of
// the reference into x*x: the engine calls the library.
double (*volatile libPow)(double, double) = static_cast<double (*)(double, double)>(std::pow);

std::uint64_t bits(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

} // namespace

class tst_Determinism : public QObject
{
    Q_OBJECT

private slots:
    void sameBitsAsCpp_data();
    void sameBitsAsCpp();
};

void tst_Determinism::sameBitsAsCpp_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Reference>("reference");

    auto row = [](const char *name, const char *text, Reference r) {
        QTest::newRow(name) << QByteArray(text) << r;
    };
    row("polynomial", "3*x^2+2*x+1", [](double x) { return 3 * libPow(x, 2) + 2 * x + 1; });
    row("product", "sin(x)*cos(x)", [](double x) { return std::sin(x) * std::cos(x); });
    row("gaussFoldsTheRoot", "exp(-x*x/2)/sqrt(2*pi())",
        [](double x) { return std::exp(-x * x / 2) / std::sqrt(2 * 3.141592653589793); });
    row("twoArgumentCall", "atan2(sin(x),cos(x))+abs(x)",
        [](double x) { return std::atan2(std::sin(x), std::cos(x)) + std::fabs(x); });
    row("quotient", "((x+1)*(x-1))/(x*x+1)",
        [](double x) { return ((x + 1) * (x - 1)) / (x * x + 1); });
    row("highPowers", "x+1.5*x^2-2*x^3+0.5*x^4-0.0002*x^19+0.0001*x^20", [](double x) {
        return x + 1.5 * libPow(x, 2) - 2 * libPow(x, 3) + 0.5 * libPow(x, 4) -
               0.0002 * libPow(x, 19) + 0.0001 * libPow(x, 20);
    });
    row("foldedProduct", "2*3*4+x", [](double x) { return 24 + x; });
    row("powerIsLeftAssociative", "2^x^2", [](double x) { return libPow(libPow(2, x), 2); });
    row("unaryMinusBelowPower", "-x^2", [](double x) { return -libPow(x, 2); });
    row("leftToRight", "x-x/3*2-1", [](double x) { return x - x / 3 * 2 - 1; });
    row("foldedPower", "2^0.5*x", [](double x) { return libPow(2, 0.5) * x; });
    row("logOfAbs", "ln(abs(x))", [](double x) { return std::log(std::fabs(x)); });
    row("nestedCalls", "sqrt(abs(tan(x)))^1.5",
        [](double x) { return libPow(std::sqrt(std::fabs(std::tan(x))), 1.5); });
}

void tst_Determinism::sameBitsAsCpp()
{
    QFETCH(QByteArray, text);
    QFETCH(Reference, reference);

    int length = 0, error = 0;
    const formu f = translate(text.constData(), "x", &length, &error);
    QVERIFY2(f.code, fget_error());
    // The plot's samples over [-5, 6], then a few points where results overflow,
    // vanish or hit a pole.
    QList<double> xs;
    for (int i = 0; i < 233; ++i)
        xs << -5.0 + 11.0 * i / 232;
    xs << 0.0 << -0.0 << 1e-300 << 1e300 << -700.0 << 1.5707963267948966;
    for (double x : xs) {
        const double got = fval(f, "x", x);
        const double want = reference(x);
        // Which NaN an operation passes on is not ours to choose; any NaN will do.
        if (std::isnan(got) && std::isnan(want))
            continue;
        if (bits(got) != bits(want))
            QFAIL(qPrintable(QStringLiteral("x = %1: %2 instead of %3")
                                 .arg(x, 0, 'g', 17)
                                 .arg(got, 0, 'g', 17)
                                 .arg(want, 0, 'g', 17)));
    }
    destrf(f);
}

QTEST_GUILESS_MAIN(tst_Determinism)
#include "tst_determinism.moc"
