// The formula engine side by side with muparser's byte code and with the same
// formulas written as C++: ns per evaluation over the 233 samples of a plotted
// curve, and the time to compile each formula.
//
//   bench_engine --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "formula/formula.h"
#include "summary.h"

#include <muParser.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSamples = 233;

struct Case
{
    const char *name;
    const char *text;     // ours
    const char *muparser; // the same computation in muparser's syntax
    double (*cpp)(double);
};

double e1(double x)
{
    return 3 * std::pow(x, 2.0) + 2 * x + 1;
}
double e2(double x)
{
    return std::sin(x) * std::cos(x);
}
double e3(double x)
{
    return std::exp(-x * x / 2) / std::sqrt(2 * 3.141592653589793);
}
double e4(double x)
{
    return std::atan2(std::sin(x), std::cos(x)) + std::fabs(x);
}
double e5(double x)
{
    return ((x + 1) * (x - 1)) / (x * x + 1);
}
double e6(double x)
{
    using std::pow;
    return x + 1.5 * pow(x, 2.0) - 2 * pow(x, 3.0) + 0.5 * pow(x, 4.0) - 0.25 * pow(x, 5.0) +
           3 * pow(x, 6.0) - 1.25 * pow(x, 7.0) + 0.75 * pow(x, 8.0) - 0.1 * pow(x, 9.0) +
           0.2 * pow(x, 10.0) - 0.3 * pow(x, 11.0) + 0.05 * pow(x, 12.0) - 0.02 * pow(x, 13.0) +
           0.01 * pow(x, 14.0) - 0.005 * pow(x, 15.0) + 0.002 * pow(x, 16.0) -
           0.001 * pow(x, 17.0) + 0.0005 * pow(x, 18.0) - 0.0002 * pow(x, 19.0) +
           0.0001 * pow(x, 20.0);
}
double e7(double x)
{
    return std::tan(x);
}
double e8(double x)
{
    return 2 * 3 * 4 + x;
}

#define E6_TEXT                                                                                    \
    "x+1.5*x^2-2*x^3+0.5*x^4-0.25*x^5+3*x^6-1.25*x^7+0.75*x^8-0.1*x^9+0.2*x^10-0.3*x^11+0.05*x^"   \
    "12-0.02*x^13+0.01*x^14-0.005*x^15+0.002*x^16-0.001*x^17+0.0005*x^18-0.0002*x^19+0.0001*x^20"

// No formula chains '^', so muparser's right-associative '^' computes the same.
// pi() is written out: muparser's own _pi here is 3.141592653589, which moves
// E3 by some 1000 ulps.
const Case kCases[] = {
    {"E1", "3*x^2+2*x+1", "3*x^2+2*x+1", e1},
    {"E2", "sin(x)*cos(x)", "sin(x)*cos(x)", e2},
    {"E3", "exp(-x*x/2)/sqrt(2*pi())", "exp(-x*x/2)/sqrt(2*3.141592653589793)", e3},
    {"E4", "atan2(sin(x),cos(x))+abs(x)", "atan2(sin(x),cos(x))+abs(x)", e4},
    {"E5", "((x+1)*(x-1))/(x*x+1)", "((x+1)*(x-1))/(x*x+1)", e5},
    {"E6", E6_TEXT, E6_TEXT, e6},
    {"E7", "tan(x)", "tan(x)", e7},
    {"E8", "2*3*4+x", "2*3*4+x", e8},
};

std::vector<double> samples()
{
    std::vector<double> xs(kSamples);
    for (int i = 0; i < kSamples; ++i)
        xs[i] = -5.0 + 11.0 * i / (kSamples - 1);
    return xs;
}

formu compile(const char *text)
{
    int length = 0, error = -1;
    formu f = translate(text, "x", &length, &error);
    if (!f.code)
        std::fprintf(stderr, "%s: %s at %d\n", text, fget_error(), error);
    return f;
}

void perEvaluation(benchmark::State &state)
{
    state.counters["eval"] = benchmark::Counter(
        kSamples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void benchFval(benchmark::State &state, const Case &c)
{
    const formu f = compile(c.text);
    const std::vector<double> xs = samples();
    for (auto _ : state) {
        for (double x : xs)
            benchmark::DoNotOptimize(fval(f, "x", x));
    }
    perEvaluation(state);
    destrf(f);
}

void benchValue(benchmark::State &state, const Case &c)
{
    const formu f = compile(c.text);
    const std::vector<double> xs = samples();
    for (auto _ : state) {
        for (double x : xs) {
            make_var('x', x);
            benchmark::DoNotOptimize(value(f));
        }
    }
    perEvaluation(state);
    destrf(f);
}

void benchMuparser(benchmark::State &state, const Case &c)
{
    double x = 0;
    mu::Parser parser;
    parser.DefineVar("x", &x);
    parser.SetExpr(c.muparser);
    parser.Eval(); // compiles to byte code; later calls run it
    const std::vector<double> xs = samples();
    for (auto _ : state) {
        for (double v : xs) {
            x = v;
            benchmark::DoNotOptimize(parser.Eval());
        }
    }
    perEvaluation(state);
}

void benchCpp(benchmark::State &state, const Case &c)
{
    const std::vector<double> xs = samples();
    double (*volatile fn)(double) = c.cpp; // keeps the call from being folded into the loop
    for (auto _ : state) {
        for (double x : xs)
            benchmark::DoNotOptimize(fn(x));
    }
    perEvaluation(state);
}

void benchCompile(benchmark::State &state, const std::string &text)
{
    for (auto _ : state) {
        int length = 0, error = -1;
        const formu f = translate(text.c_str(), "x", &length, &error);
        if (!f.code) {
            state.SkipWithError(fget_error());
            break;
        }
        destrf(f);
    }
}

std::string repeated(const std::string &head, const std::string &part, const std::string &tail,
                     int n)
{
    std::string s = head;
    for (int i = 0; i < n; ++i)
        s += part;
    return s + tail;
}

// Long texts the compiler must stay near-linear on.
std::vector<std::pair<std::string, std::string>> longTexts()
{
    std::string sum = "x";
    for (int i = 1; i < 10000; ++i)
        sum += "+x";
    std::string constants = "1";
    for (int i = 2; i <= 10000; ++i)
        constants += "+" + std::to_string(i);
    return {
        {"sum_10000_x", sum},
        {"sum_10000_constants", constants},
        {"parens_10000", repeated("", "(", "", 10000) + "x" + repeated("", ")", "", 10000)},
        {"sin_nested_1000", repeated("", "sin(", "", 1000) + "x" + repeated("", ")", "", 1000)},
    };
}

// Distance in units in the last place between two finite doubles of one sign.
double ulps(double a, double b)
{
    if (a == b)
        return 0;
    return std::fabs(a - b) / std::fabs(std::nextafter(a, b) - a);
}

// Whether the engines agree over the samples: ours bit for bit with the C++
// code, and how far muparser's optimised byte code strays.
void printAgreement()
{
    std::printf(
        "\n| formula | fval == C++ (of %d) | max ulps muparser vs fval |\n|---|---:|---:|\n",
        kSamples);
    for (const Case &c : kCases) {
        const formu f = compile(c.text);
        double x = 0;
        mu::Parser parser;
        parser.DefineVar("x", &x);
        parser.SetExpr(c.muparser);
        int same = 0;
        double worst = 0;
        for (double v : samples()) {
            x = v;
            const double ours = fval(f, "x", v);
            const double cpp = c.cpp(v);
            same += std::memcmp(&ours, &cpp, sizeof ours) == 0;
            worst = std::max(worst, ulps(ours, parser.Eval()));
        }
        std::printf("| %s | %d | %s |\n", c.name, same, formatNumber(worst).c_str());
        destrf(f);
    }
}

void printTables(const SummaryReporter &r)
{
    std::printf("\n| formula | fval ns | make_var+value ns | muparser ns | C++ ns | fval/muparser "
                "| fval/C++ | compile us |\n|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Case &c : kCases) {
        const double fv = r.nanoseconds(c.name, "fval");
        const double va = r.nanoseconds(c.name, "value");
        const double mu = r.nanoseconds(c.name, "muparser");
        const double cp = r.nanoseconds(c.name, "cpp");
        const double co = r.nanoseconds(c.name, "compile");
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s |\n", c.name, formatNumber(fv).c_str(),
                    formatNumber(va).c_str(), formatNumber(mu).c_str(), formatNumber(cp).c_str(),
                    fv > 0 && mu > 0 ? formatNumber(fv / mu).c_str() : "-",
                    fv > 0 && cp > 0 ? formatNumber(fv / cp).c_str() : "-",
                    co > 0 ? formatNumber(co / 1000).c_str() : "-");
    }
    std::printf("\n| long text | compile ms |\n|---|---:|\n");
    for (const auto &t : longTexts())
        std::printf("| %s | %s |\n", t.first.c_str(),
                    formatNumber(r.nanoseconds(t.first, "compile") / 1e6).c_str());
}

} // namespace

int main(int argc, char **argv)
{
    for (const Case &c : kCases) {
        const std::string name = c.name;
        benchmark::RegisterBenchmark((name + "/fval").c_str(), benchFval, c);
        benchmark::RegisterBenchmark((name + "/value").c_str(), benchValue, c);
        benchmark::RegisterBenchmark((name + "/muparser").c_str(), benchMuparser, c);
        benchmark::RegisterBenchmark((name + "/cpp").c_str(), benchCpp, c);
        benchmark::RegisterBenchmark((name + "/compile").c_str(), benchCompile,
                                     std::string(c.text));
    }
    for (const auto &t : longTexts())
        benchmark::RegisterBenchmark((t.first + "/compile").c_str(), benchCompile, t.second)
            ->Unit(benchmark::kMillisecond);

    SummaryReporter reporter("eval");
    runBenchmarks(reporter, argc, argv);
    printTables(reporter);
    printAgreement();
    return 0;
}
