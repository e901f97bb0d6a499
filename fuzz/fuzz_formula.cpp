// Fuzz target for the formula engine: any byte string as formula text,
// compiled, evaluated and released; and any byte string run as byte code. Both
// are also evaluated as whole curves with fval_batch, which must give what fval
// gives sample by sample.
//
// Input: byte 0 picks the declared parameter letters, the rest is the text; the
// last byte picks the curve's length.

#include "formula/engine_state.h"
#include "formula/formula.h"
#include "formula/bytecode.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

std::string lettersFor(std::uint8_t b)
{
    switch (b % 4) {
    case 0:
        return "";
    case 1:
        return "x";
    case 2:
        // Some letter besides x, so both declared and undeclared letters occur.
        return std::string("x") + char('a' + (b / 4) % 26);
    default:
        return "abcdefghijklmnopqrstuvwxyz";
    }
}

// Bytes of the code and the constants it refers to, for comparing two compilations.
std::vector<unsigned char> image(const formu &f, int length)
{
    std::vector<unsigned char> out(f.code, f.code + length);
    for (int i = 0; i < length; i += instructionLength(f.code[i])) {
        if (f.code[i] == OP_CONST) {
            const auto *bytes = reinterpret_cast<const unsigned char *>(&f.ctable[f.code[i + 1]]);
            out.insert(out.end(), bytes, bytes + sizeof(double));
        }
    }
    return out;
}

// Curve samples: ordinary numbers, the values where arithmetic goes special,
// and NaN with more than one payload.
std::vector<double> curve(int count)
{
    static const double special[] = {0.0, -0.0, 1e-310, -1e300,    INFINITY, -INFINITY, NAN, -NAN,
                                     0.5, -2.0, 1e308,  1.0 / 3.0, -1.0,     700.0,     3.0, 1e-3};
    std::vector<double> xs(count);
    for (int i = 0; i < count; ++i)
        xs[i] = i % 3 ? special[(i * 7) % std::size(special)] : -5.0 + 0.0473 * i;
    return xs;
}

bool sameValue(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// fval_batch against fval sample by sample, from the same engine state: the
// values, the message, the parameters and the random numbers drawn.
void compareBatch(formu f, char letter, int count)
{
    const std::vector<double> xs = curve(count);
    const R250State r250Before = r250;
    const EngineState before = engine;
    const char letters[] = {letter, 0};
    std::vector<double> want(count);
    for (int i = 0; i < count; ++i)
        want[i] = fval(f, letters, xs[i]);
    const EngineState after = engine;
    const R250State r250After = r250;

    r250 = r250Before;
    std::memcpy(engine.param, before.param, sizeof engine.param);
    engine.errmes = before.errmes;
    std::vector<double> got(count);
    fval_batch(f, letter, xs.data(), got.data(), count);
    for (int i = 0; i < count; ++i)
        check(sameValue(got[i], want[i]));
    check(engine.errmes == after.errmes);
    check(std::memcmp(engine.param, after.param, sizeof engine.param) == 0);
    check(std::memcmp(&r250, &r250After, sizeof r250) == 0);
}

void compileAndRun(const std::string &text, const std::string &letters, int count)
{
    int length = -7;
    int error = -7;
    const formu f = translate(text.c_str(), letters.c_str(), &length, &error);
    if (!f.code) {
        // A failure is the empty formula with a message and a position in the text.
        check(f.ctable == nullptr);
        check(fget_error() != nullptr);
        check(error >= -1 && error <= int(text.size()));
        check(fval(f, "x", 1.0) == 0.0);
        compareBatch(f, 'x', count);
        return;
    }
    check(f.ctable != nullptr);
    check(fget_error() == nullptr);
    check(error == -1);
    check(length >= 0 && f.code[length] == OP_END);

    // Compiling the same text again gives the same code: no state leaks from
    // one compilation into the next.
    int length2 = -7;
    int error2 = -7;
    const formu again = translate(text.c_str(), letters.c_str(), &length2, &error2);
    check(again.code != nullptr && length2 == length);
    check(image(f, length) == image(again, length2));
    destrf(again);

    static const double points[] = {0.0, 1.0, -2.5, 1e300, -1e-300, NAN, INFINITY};
    for (double p : points) {
        for (char c = 'a'; c <= 'z'; ++c)
            make_var(c, p * (c - 'm'));
        fval(f, "x", p);
        // Compiled code never trips the evaluator's consistency checks.
        check(fget_error() == nullptr);
        fval(f, "xy", p, -p);
        check(fget_error() == nullptr);
    }
    compareBatch(f, 'x', count);
    compareBatch(f, letters.empty() ? 'y' : letters.back(), count);
    destrf(f);
}

void runRawCode(const std::uint8_t *data, std::size_t size, int count)
{
    // The code ends with two 0 bytes: an instruction whose operand byte is the
    // first of them still finds the end right after it.
    std::vector<unsigned char> code(data, data + size);
    code.push_back(OP_END);
    code.push_back(OP_END);
    // value() cannot know the table's size; an operand byte reaches at most 255.
    double table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = i * 0.5 - 3;
    value(formu{code.data(), table});
    value(formu{code.data(), nullptr});
    compareBatch(formu{code.data(), table}, 'x', count);
    compareBatch(formu{code.data(), nullptr}, 'y', count);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // Text up to the first NUL, as a C string.
    const std::string text(reinterpret_cast<const char *>(data + 1),
                           strnlen(reinterpret_cast<const char *>(data + 1), size - 1));
    // Mostly short curves, which are fast to check; now and then one longer than
    // a block of samples.
    const std::uint8_t last = data[size - 1];
    const int count = last >= 240 ? 200 + (last - 240) * 7 : 1 + last % 24;
    compileAndRun(text, lettersFor(data[0]), count);
    runRawCode(data + 1, size - 1, count);
    return 0;
}
