#pragma once

// All process-wide state of the formula engine except the function table
// (ftable, declared in formula.h), gathered in one place. The engine is
// single-threaded and not reentrant by design; nothing here is synchronised.

#include <cstdint>

// Working state of one compilation. translate() saves and restores it, so a
// compilation started from inside another (through a folded user function)
// cannot corrupt the outer one.
struct CompileState
{
    double *i_ctable = nullptr;    // working constant table, 255 entries
    int i_pctable = 0;             // constants in use
    const char *i_error = nullptr; // where the current error lies in the text, or null
    char *token = nullptr;         // continuation of my_strtok()
};

struct EngineState
{
    const char *errmes = nullptr; // last error; null: none
    double param[26] = {};        // parameter values, index letter - 'a'
    CompileState comp;

    // fval_batch()'s value stack: one block of samples per pending value. It grows
    // to the largest need seen (at most kMaxBlockStack doubles, see batch.cpp)
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
