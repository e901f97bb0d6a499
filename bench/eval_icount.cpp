// Deterministic companion of bench_engine: the same loops, run under callgrind,
// which counts the instructions each one executes. Timings on the shared build
// machine move by 15%; instruction counts do not move at all.
//
//   valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file=DIR/cg eval_icount
//
// Each loop is bracketed by a toggle and dumped under its own name
// ("E1/fval", ...); tools/bench.sh --icount turns the dumps into a table
// (bench/icount_table.py).

#include "cases.h"
#include "formula/formula.h"

#include <muParser.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using cases::Case;

constexpr int kRounds = 20; // evaluations per loop: kRounds * kSamples
constexpr int kCompiles = 50;

template<typename Loop>
void measure(const std::string &name, Loop loop)
{
    loop(); // resolves lazy bindings and warms the caches outside the count
    CALLGRIND_TOGGLE_COLLECT;
    loop();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(name.c_str());
}

formu compile(const char *text)
{
    int length = 0, error = -1;
    return translate(text, "x", &length, &error);
}

volatile double sink;

} // namespace

int main()
{
    const std::vector<double> xs = cases::samples();
    for (const Case &c : cases::kCases) {
        const std::string name = c.name;
        const formu f = compile(c.text);
        std::printf("%s instructions %d\n", c.name, cases::instructionCount(f.code));
        measure(name + "/fval", [&] {
            for (int r = 0; r < kRounds; ++r)
                for (double x : xs)
                    sink = fval(f, "x", x);
        });
        std::vector<double> out(xs.size());
        measure(name + "/batch", [&] {
            for (int r = 0; r < kRounds; ++r)
                fval_batch(f, 'x', xs.data(), out.data(), int(xs.size()));
        });
        // Short curves: n samples at a time, as many calls as make up the same total.
        for (int n : {1, 2, 4, 8}) {
            measure(name + "/batch" + std::to_string(n), [&] {
                for (int r = 0; r < kRounds; ++r)
                    for (int i = 0; i + n <= cases::kSamples; i += n)
                        fval_batch(f, 'x', xs.data() + i, out.data() + i, n);
            });
        }
        measure(name + "/value", [&] {
            for (int r = 0; r < kRounds; ++r)
                for (double x : xs) {
                    make_var('x', x);
                    sink = value(f);
                }
        });
        double mx = 0;
        mu::Parser parser;
        parser.DefineVar("x", &mx);
        parser.SetExpr(c.muparser);
        sink = parser.Eval();
        measure(name + "/muparser", [&] {
            for (int r = 0; r < kRounds; ++r)
                for (double x : xs) {
                    mx = x;
                    sink = parser.Eval();
                }
        });
        double (*volatile fn)(double) = c.cpp;
        measure(name + "/cpp", [&] {
            for (int r = 0; r < kRounds; ++r)
                for (double x : xs)
                    sink = fn(x);
        });
        double (*volatile calls)(double) = c.calls;
        measure(name + "/calls", [&] {
            for (int r = 0; r < kRounds; ++r)
                for (double x : xs)
                    sink = calls(x);
        });
        measure(name + "/compile", [&] {
            for (int r = 0; r < kCompiles; ++r)
                destrf(compile(c.text));
        });
        measure(name + "/mucompile", [&] {
            for (int r = 0; r < kCompiles; ++r) {
                parser.SetExpr(c.muparser);
                sink = parser.Eval();
            }
        });
        destrf(f);
    }
    std::printf("per %d evaluations, %d compilations\n", kRounds * cases::kSamples, kCompiles);
    return 0;
}
