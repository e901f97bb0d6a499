#pragma once

#include "formula/formula.h"

#include <cmath>

// The byte code's layout, described once for everything that walks it: the
// compiler's stack count, both evaluators, the tests, the fuzz targets and the
// benchmarks. Code is a run of instructions ending with OP_END. Each is its
// op-code, and for OP_CONST, OP_VAR and OP_CALL one operand byte:
//   'D' 3    pushes ctable[3]        '+' '-' '*' '/' '^'  take two values, leave one
//   'V' 'x'  pushes parameter x      'M'                  negates the top value
//   'F' 2    calls row 2 (sin), which takes its n_pars values and leaves one

// Bytes of the instruction that starts with op (1 for OP_END and other bytes).
constexpr int instructionLength(unsigned char op)
{
    return op == OP_CONST || op == OP_VAR || op == OP_CALL ? 2 : 1;
}

// What the instruction at pc does to the value stack: it takes `takes` values
// and puts back `leaves`. A call counts its row's n_pars as the table holds it
// now. `known` is false for OP_END and for bytes that are no instruction.
struct StackEffect
{
    int takes;
    int leaves;
    bool known;
};

inline StackEffect stackEffect(const unsigned char *pc)
{
    switch (pc[0]) {
    case OP_CONST:
    case OP_VAR:
        return {0, 1, true};
    case OP_CALL:
        return {ftable[pc[1]].n_pars, 1, true};
    case OP_NEG:
        return {1, 1, true};
    case OP_ADD:
    case OP_SUB:
    case OP_MUL:
    case OP_DIV:
    case OP_POW:
        return {2, 1, true};
    default:
        return {0, 0, false};
    }
}

// ---- For the evaluators (value() and fval_batch()) ----

// Of two NaN operands, an operation passes on the left one, as the processor
// does for - and /. The C++ compiler may hand the operands of + and * over
// either way round, since they commute, so those two say it explicitly: the
// folded constants, value() and fval_batch() then agree in every build on the
// NaN, and on its sign, which a bound text shows ("(0/0)+(-(0/0))" is -nan).
inline double addValues(double a, double b)
{
    // With a NaN on the left only that one can come out; otherwise the
    // processor's sum is already the same in every build. Written so that
    // block loops stay branch-free: GCC vectorises this form, not a != a.
    const double sum = a + b;
    return std::isnan(a) ? a : sum;
}
inline double subValues(double a, double b)
{
    return a - b;
}
inline double mulValues(double a, double b)
{
    const double product = a * b;
    return std::isnan(a) ? a : product;
}
inline double divValues(double a, double b)
{
    return a / b;
}

// The operators that are one IEEE operation each: op-code, name, the function
// that applies it. Both evaluators write their instructions from this list:
// value() one sample at a time, fval_batch() as loops over a block that the
// compiler vectorises.
#define TAVLO_ARITHMETIC(X)                                                                        \
    X(OP_ADD, add, addValues)                                                                      \
    X(OP_SUB, sub, subValues)                                                                      \
    X(OP_MUL, mul, mulValues)                                                                      \
    X(OP_DIV, div, divValues)

using Func0 = double (*)();
using Func2 = double (*)(double, double);
using Func3 = double (*)(double, double, double);

// A table row's function at the arity its n_pars says (rows store double(double)).
template<typename F>
F rowFunc(ffunc f)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(f));
}

// The parameter of a letter 'a'..'z', or null for any other character.
double *parameterOf(char letter);
