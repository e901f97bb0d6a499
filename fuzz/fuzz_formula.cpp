// Fuzz target for the formula engine: any byte string as formula text,
// compiled, evaluated and released; and any byte string run as byte code.
//
// Input: byte 0 picks the declared parameter letters, the rest is the text.

#include "formula/formula.h"

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
    for (int i = 0; i < length;
         i += (f.code[i] == OP_CONST || f.code[i] == OP_VAR || f.code[i] == OP_CALL) ? 2 : 1) {
        if (f.code[i] == OP_CONST) {
            const auto *bytes = reinterpret_cast<const unsigned char *>(&f.ctable[f.code[i + 1]]);
            out.insert(out.end(), bytes, bytes + sizeof(double));
        }
    }
    return out;
}

void compileAndRun(const std::string &text, const std::string &letters)
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
    destrf(f);
}

void runRawCode(const std::uint8_t *data, std::size_t size)
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
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // Text up to the first NUL, as a C string.
    const std::string text(reinterpret_cast<const char *>(data + 1),
                           strnlen(reinterpret_cast<const char *>(data + 1), size - 1));
    compileAndRun(text, lettersFor(data[0]));
    runRawCode(data + 1, size - 1);
    return 0;
}
