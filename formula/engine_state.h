#pragma once

// All process-wide state of the formula engine except the function table
// (ftable, declared in formula.h), gathered in one place. The engine is
// single-threaded and not reentrant by design; nothing here is synchronised.

#include <cstdint>

// Parenthesis structure of the text being compiled, built once per translate()
// so that the compiler never rescans an operand to check or skip parentheses.
struct TextIndex
{
    const char *text = nullptr;
    int length = 0;
    // depth[i]: parenthesis depth before character i (relative to the text start),
    // for i = 0..length.
    int *depth = nullptr;
    // drop[i]: first position q >= i holding a ')' with depth[q] == depth[i], that is
    // where the depth first falls below depth[i]; length when it never does. The
    // ')' matching a '(' at i is drop[i + 1].
    int *drop = nullptr;
};

// Working state of one compilation. translate() saves and restores it, so a
// compilation started from inside another (through a folded user function)
// cannot corrupt the outer one.
struct CompileState
{
    double *i_ctable = nullptr;    // working constant table, 255 entries
    int i_pctable = 0;             // constants in use
    const char *i_error = nullptr; // where the current error lies in the text, or null
    char *token = nullptr;         // continuation of my_strtok()

    unsigned char *out = nullptr;       // where the next code byte goes
    unsigned char *codeLimit = nullptr; // end of the code buffer; null: unchecked
    const TextIndex *index = nullptr;   // structure of the text being compiled, or null
};

struct EngineState
{
    const char *errmes = nullptr; // last error; null: none
    double param[26] = {};        // parameter values, index letter - 'a'
    CompileState comp;

    // fval_batch()'s value stack: one block of samples per pending value. It grows
    // to the largest need seen (at most kMaxBlockStack doubles, see evaluator.cpp)
    // and is kept for the next call, so a call allocates only when it needs more.
    double *blockStack = nullptr;
    int blockStackSize = 0; // in doubles
};

extern EngineState engine;

// State of the R250 generator behind rnd().
struct R250State
{
    std::uint32_t buffer[250];
    int index;
    std::uint32_t seed; // state of myrand()
};

extern R250State r250;
