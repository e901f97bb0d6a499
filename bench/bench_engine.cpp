// The formula engine side by side with muparser's byte code and with the same
// formulas written as C++: ns per evaluation over the 233 samples of a plotted
// curve, and the time to compile each formula.
//
//   bench_engine --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "alloc_count.h"
#include "cases.h"
#include "formula/formula.h"
#include "summary.h"

#include <muParser.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

using cases::Case;
using cases::kCases;
using cases::kSamples;
using cases::samples;

formu compile(const char *text)
{
    int length = 0, error = -1;
    formu f = translate(text, "x", &length, &error);
    if (!f.code)
        std::fprintf(stderr, "%s: %s at %d\n", text, fget_error(), error);
    return f;
}

void perEvaluation(benchmark::State &state, int samplesPerIteration = kSamples)
{
    state.counters["eval"] =
        benchmark::Counter(samplesPerIteration, benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
}

// x from -5 to 6 over a curve of n samples.
std::vector<double> curveOf(int n)
{
    std::vector<double> xs(n);
    for (int i = 0; i < n; ++i)
        xs[i] = n > 1 ? -5.0 + 11.0 * i / (n - 1) : 0.5;
    return xs;
}

// The whole curve in one call.
void benchBatch(benchmark::State &state, const Case &c, int n)
{
    const formu f = compile(c.text);
    const std::vector<double> xs = curveOf(n);
    std::vector<double> out(n);
    for (auto _ : state) {
        fval_batch(f, 'x', xs.data(), out.data(), n);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    perEvaluation(state, n);
    destrf(f);
}

// fval once per sample over a curve of n samples.
void benchFvalCurve(benchmark::State &state, const Case &c, int n)
{
    const formu f = compile(c.text);
    const std::vector<double> xs = curveOf(n);
    std::vector<double> out(n);
    for (auto _ : state) {
        for (int i = 0; i < n; ++i)
            out[i] = fval(f, "x", xs[i]);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    perEvaluation(state, n);
    destrf(f);
}

// muparser's bulk mode: x is an array, Eval(results, n) evaluates the whole of
// it. (One thread: main() makes sure OpenMP runs one.)
void benchMuparserBulk(benchmark::State &state, const Case &c, int n)
{
    std::vector<double> xs = curveOf(n);
    std::vector<double> out(n);
    mu::Parser parser;
    parser.DefineVar("x", xs.data());
    parser.SetExpr(c.muparser);
    parser.Eval();
    for (auto _ : state) {
        parser.Eval(out.data(), n);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    perEvaluation(state, n);
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

void benchCalls(benchmark::State &state, const Case &c)
{
    const std::vector<double> xs = samples();
    double (*volatile fn)(double) = c.calls;
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

// muparser compiles on the first Eval after SetExpr; SetExpr alone only stores
// the text. So its compile time is SetExpr plus that first Eval, which also
// evaluates once (some 10 to 250 ns here, against microseconds of compiling).
void benchMuparserCompile(benchmark::State &state, const Case &c)
{
    double x = 0.5;
    mu::Parser parser;
    parser.DefineVar("x", &x);
    for (auto _ : state) {
        parser.SetExpr(c.muparser);
        benchmark::DoNotOptimize(parser.Eval());
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
        {"parens_1000", repeated("", "(", "", 1000) + "x" + repeated("", ")", "", 1000)},
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
    std::printf("\n| formula | fval == C++ == same calls (of %d) | fval_batch == fval "
                "| max ulps muparser vs fval |\n|---|---:|---:|---:|\n",
                kSamples);
    for (const Case &c : kCases) {
        const formu f = compile(c.text);
        double x = 0;
        mu::Parser parser;
        parser.DefineVar("x", &x);
        parser.SetExpr(c.muparser);
        int same = 0;
        int batchSame = 0;
        double worst = 0;
        const std::vector<double> xs = samples();
        std::vector<double> batch(xs.size());
        fval_batch(f, 'x', xs.data(), batch.data(), kSamples);
        const double *fromBatch = batch.data();
        for (double v : xs) {
            x = v;
            const double ours = fval(f, "x", v);
            const double cpp = c.cpp(v);
            const double calls = c.calls(v);
            same += std::memcmp(&ours, &cpp, sizeof ours) == 0 &&
                    std::memcmp(&ours, &calls, sizeof ours) == 0;
            batchSame += std::memcmp(&ours, fromBatch++, sizeof ours) == 0;
            worst = std::max(worst, ulps(ours, parser.Eval()));
        }
        std::printf("| %s | %d | %d | %s |\n", c.name, same, batchSame,
                    formatNumber(worst).c_str());
        destrf(f);
    }
}

// Heap allocations while evaluating and compiling, counted over the whole
// process: evaluation must make none at all.
void printAllocations()
{
    constexpr int kRounds = 100;
    const std::vector<double> xs = samples();
    std::printf(
        "\n| formula | allocations in %d fval | in %d make_var+value | in %d fval_batch of %d "
        "(after the first) | per translate+destrf |\n|---|---:|---:|---:|---:|\n",
        kRounds * kSamples, kRounds * kSamples, kRounds, kSamples);
    for (const Case &c : kCases) {
        const formu f = compile(c.text);
        std::size_t before = allocationCount();
        for (int r = 0; r < kRounds; ++r)
            for (double x : xs)
                benchmark::DoNotOptimize(fval(f, "x", x));
        const std::size_t viaFval = allocationCount() - before;
        before = allocationCount();
        for (int r = 0; r < kRounds; ++r)
            for (double x : xs) {
                make_var('x', x);
                benchmark::DoNotOptimize(value(f));
            }
        const std::size_t viaValue = allocationCount() - before;
        std::vector<double> out(xs.size());
        fval_batch(f, 'x', xs.data(), out.data(), kSamples); // the first may allocate
        before = allocationCount();
        for (int r = 0; r < kRounds; ++r)
            fval_batch(f, 'x', xs.data(), out.data(), kSamples);
        const std::size_t viaBatch = allocationCount() - before;
        before = allocationCount();
        destrf(compile(c.text));
        const std::size_t perCompile = allocationCount() - before;
        std::printf("| %s | %zu | %zu | %zu | %zu |\n", c.name, viaFval, viaValue, viaBatch,
                    perCompile);
        destrf(f);
    }
}

std::string ratio(double a, double b)
{
    return a > 0 && b > 0 ? formatNumber(a / b) : "-";
}

// ExprTk's speed as a ratio to muparser's, measured side by side on a machine
// like ours (ExprTk is not packaged here); formulas with '^' have none.
double exprtkRatio(const std::string &name)
{
    static const std::pair<const char *, double> ratios[] = {
        {"E2", 0.78}, {"E3", 0.54}, {"E4", 0.76}, {"E5", 0.33}, {"E7", 0.61}, {"E8", 0.77}};
    for (const auto &[formula, ratio] : ratios)
        if (name == formula)
            return ratio;
    return -1;
}

constexpr int kLongCurves[] = {1000, 100000};
constexpr int kShortCurves[] = {1, 2, 3, 4, 5, 8, 16};

void printBatchTables(const SummaryReporter &r)
{
    std::printf("\n| formula | fval ns | fval_batch ns | muparser ns | muparser bulk ns | C++ ns "
                "| C++ same calls ns | batch/muparser fastest | ExprTk/muparser | batch/C++ "
                "| batch/same calls |\n|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    double logSum = 0;
    int logCount = 0;
    for (const Case &c : kCases) {
        const double fv = r.nanoseconds(c.name, "fval");
        const double ba = r.nanoseconds(c.name, "batch");
        const double mu = r.nanoseconds(c.name, "muparser");
        const double mb = r.nanoseconds(c.name, "mubulk");
        const double cp = r.nanoseconds(c.name, "cpp");
        const double ca = r.nanoseconds(c.name, "calls");
        const double fastest = mu > 0 && mb > 0 ? std::min(mu, mb) : std::max(mu, mb);
        if (ba > 0 && fastest > 0) {
            logSum += std::log(ba / fastest);
            ++logCount;
        }
        const double ex = exprtkRatio(c.name);
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", c.name,
                    formatNumber(fv).c_str(), formatNumber(ba).c_str(), formatNumber(mu).c_str(),
                    formatNumber(mb).c_str(), formatNumber(cp).c_str(), formatNumber(ca).c_str(),
                    ratio(ba, fastest).c_str(), ex > 0 ? formatNumber(ex).c_str() : "-",
                    ratio(ba, cp).c_str(), ratio(ba, ca).c_str());
    }
    if (logCount)
        std::printf("\ngeometric mean of fval_batch/muparser's fastest mode over %d formulas: %s\n",
                    logCount, formatNumber(std::exp(logSum / logCount)).c_str());

    std::printf("\n| formula |");
    for (int n : kLongCurves)
        std::printf(" %d: fval ns | fval_batch ns | muparser bulk ns |", n);
    std::printf("\n|---|---:|---:|---:|---:|---:|---:|\n");
    for (const Case &c : kCases) {
        std::printf("| %s |", c.name);
        for (int n : kLongCurves) {
            const std::string len = std::to_string(n);
            std::printf(" %s | %s | %s |",
                        formatNumber(r.nanoseconds(c.name, "fval" + len)).c_str(),
                        formatNumber(r.nanoseconds(c.name, "batch" + len)).c_str(),
                        formatNumber(r.nanoseconds(c.name, "mubulk" + len)).c_str());
        }
        std::printf("\n");
    }

    std::printf("\nfval_batch over n samples / n fval calls:\n\n| formula |");
    for (int n : kShortCurves)
        std::printf(" n=%d |", n);
    std::printf("\n|---|");
    for (std::size_t i = 0; i < std::size(kShortCurves); ++i)
        std::printf("---:|");
    std::printf("\n");
    for (const Case &c : kCases) {
        std::printf("| %s |", c.name);
        for (int n : kShortCurves) {
            const std::string len = std::to_string(n);
            std::printf(" %s |", ratio(r.nanoseconds(c.name, "short_batch" + len),
                                       r.nanoseconds(c.name, "short_fval" + len))
                                     .c_str());
        }
        std::printf("\n");
    }
}

void printTables(const SummaryReporter &r)
{
    std::printf("\n| formula | code instr | fval ns | make_var+value ns | muparser ns | C++ ns "
                "| C++ same calls ns | fval/muparser | fval/C++ | (fval-C++)/instr ns "
                "| (fval-same calls)/instr ns |\n"
                "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    double logSum = 0;
    int logCount = 0;
    for (const Case &c : kCases) {
        const formu f = compile(c.text);
        const int instructions = cases::instructionCount(f.code);
        destrf(f);
        const double fv = r.nanoseconds(c.name, "fval");
        const double va = r.nanoseconds(c.name, "value");
        const double mu = r.nanoseconds(c.name, "muparser");
        const double cp = r.nanoseconds(c.name, "cpp");
        const double ca = r.nanoseconds(c.name, "calls");
        if (fv > 0 && mu > 0) {
            logSum += std::log(fv / mu);
            ++logCount;
        }
        auto perInstruction = [&](double base) {
            return fv > 0 && base > 0 ? formatNumber((fv - base) / instructions) : "-";
        };
        std::printf("| %s | %d | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", c.name,
                    instructions, formatNumber(fv).c_str(), formatNumber(va).c_str(),
                    formatNumber(mu).c_str(), formatNumber(cp).c_str(), formatNumber(ca).c_str(),
                    ratio(fv, mu).c_str(), ratio(fv, cp).c_str(), perInstruction(cp).c_str(),
                    perInstruction(ca).c_str());
    }
    if (logCount)
        std::printf("\ngeometric mean of fval/muparser over %d formulas: %s\n", logCount,
                    formatNumber(std::exp(logSum / logCount)).c_str());

    std::printf("\n| formula | translate+destrf us | muparser SetExpr+Eval us | ours/muparser |\n"
                "|---|---:|---:|---:|\n");
    logSum = 0;
    logCount = 0;
    for (const Case &c : kCases) {
        const double co = r.nanoseconds(c.name, "compile");
        const double mu = r.nanoseconds(c.name, "mucompile");
        if (co > 0 && mu > 0) {
            logSum += std::log(co / mu);
            ++logCount;
        }
        std::printf("| %s | %s | %s | %s |\n", c.name, formatNumber(co / 1000).c_str(),
                    formatNumber(mu / 1000).c_str(), ratio(co, mu).c_str());
    }
    if (logCount)
        std::printf("\ngeometric mean of compile ours/muparser over %d formulas: %s\n", logCount,
                    formatNumber(std::exp(logSum / logCount)).c_str());

    std::printf("\n| long text | compile ms |\n|---|---:|\n");
    for (const auto &t : longTexts())
        std::printf("| %s | %s |\n", t.first.c_str(),
                    formatNumber(r.nanoseconds(t.first, "compile") / 1e6).c_str());
}

} // namespace

int main(int argc, char **argv)
{
    // muparser's bulk mode runs on as many OpenMP threads as there are cores,
    // and OpenMP reads its thread count when it is loaded: start again with one.
    if (const char *threads = std::getenv("OMP_NUM_THREADS");
        !threads || std::strcmp(threads, "1")) {
        setenv("OMP_NUM_THREADS", "1", 1);
        execv("/proc/self/exe", argv);
    }
    for (const Case &c : kCases) {
        const std::string name = c.name;
        benchmark::RegisterBenchmark((name + "/batch").c_str(), benchBatch, c, kSamples);
        benchmark::RegisterBenchmark((name + "/mubulk").c_str(), benchMuparserBulk, c, kSamples);
        for (int n : kLongCurves) {
            const std::string len = std::to_string(n);
            benchmark::RegisterBenchmark((name + "/batch" + len).c_str(), benchBatch, c, n);
            benchmark::RegisterBenchmark((name + "/fval" + len).c_str(), benchFvalCurve, c, n);
            benchmark::RegisterBenchmark((name + "/mubulk" + len).c_str(), benchMuparserBulk, c, n);
        }
        for (int n : kShortCurves) {
            const std::string len = std::to_string(n);
            benchmark::RegisterBenchmark((name + "/short_batch" + len).c_str(), benchBatch, c, n);
            benchmark::RegisterBenchmark((name + "/short_fval" + len).c_str(), benchFvalCurve, c,
                                         n);
        }
        benchmark::RegisterBenchmark((name + "/fval").c_str(), benchFval, c);
        benchmark::RegisterBenchmark((name + "/value").c_str(), benchValue, c);
        benchmark::RegisterBenchmark((name + "/muparser").c_str(), benchMuparser, c);
        benchmark::RegisterBenchmark((name + "/cpp").c_str(), benchCpp, c);
        benchmark::RegisterBenchmark((name + "/calls").c_str(), benchCalls, c);
        benchmark::RegisterBenchmark((name + "/compile").c_str(), benchCompile,
                                     std::string(c.text));
        benchmark::RegisterBenchmark((name + "/mucompile").c_str(), benchMuparserCompile, c);
    }
    for (const auto &t : longTexts())
        benchmark::RegisterBenchmark((t.first + "/compile").c_str(), benchCompile, t.second)
            ->Unit(benchmark::kMillisecond);

    SummaryReporter reporter("eval");
    runBenchmarks(reporter, argc, argv);
    printTables(reporter);
    printBatchTables(reporter);
    printAgreement();
    printAllocations();
    return 0;
}
