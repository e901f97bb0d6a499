#include "formula/formula.h"
#include "formula/engine_state.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

EngineState engine;

namespace {

const char kIndexOutOfBounds[] = "index out of bounds";
const char kFunctionNotFound[] = "function not found";
const char kOriginalFunction[] = "original functions may not be deleted";
const char kInvalidParameterCount[] = "invalid number of parameters";
const char kTableFull[] = "function table full";
const char kNoMemory[] = "no memory";
const char kNoFunction[] = "invalid function";

// Rows 0..12 are the built-in functions; they may be redefined, never deleted.
constexpr int kBuiltinRows = 13;
// Row 255 is never filled, so the table always ends with an empty row.
constexpr int kLastUsableRow = FTABLE_SIZE - 2;

double fExp(double a)
{
    return std::exp(a);
}
double fLn(double a)
{
    return std::log(a);
}
double fSin(double a)
{
    return std::sin(a);
}
double fCos(double a)
{
    return std::cos(a);
}
double fTan(double a)
{
    return std::tan(a);
}
double fAsin(double a)
{
    return std::asin(a);
}
double fAcos(double a)
{
    return std::acos(a);
}
double fAtan(double a)
{
    return std::atan(a);
}
double fAtan2(double a, double b)
{
    return std::atan2(a, b);
}
double fAbs(double a)
{
    return std::fabs(a);
}
double fSqrt(double a)
{
    return std::sqrt(a);
}

// Rows store every function as double(double); the evaluator casts back by n_pars.
// Going through void(*)() says the cast is deliberate.
template<typename F>
ffunc asRowFunc(F f)
{
    return reinterpret_cast<ffunc>(reinterpret_cast<void (*)()>(f));
}

int rowsInUse()
{
    int n = 0;
    while (n < FTABLE_SIZE && ftable[n].func)
        ++n;
    return n;
}

int findRow(const char *name)
{
    for (int i = 0; i < FTABLE_SIZE && ftable[i].func; ++i) {
        if (std::strcmp(ftable[i].name, name) == 0)
            return i;
    }
    return -1;
}

} // namespace

frow ftable[FTABLE_SIZE] = {
    {"exp", fExp, 1, 0},           {"ln", fLn, 1, 0},     {"sin", fSin, 1, 0},
    {"cos", fCos, 1, 0},           {"tan", fTan, 1, 0},   {"asin", fAsin, 1, 0},
    {"acos", fAcos, 1, 0},         {"atan", fAtan, 1, 0}, {"atan2", asRowFunc(fAtan2), 2, 0},
    {"abs", fAbs, 1, 0},           {"sqrt", fSqrt, 1, 0}, {"pi", asRowFunc(pi), 0, 0},
    {"rnd", asRowFunc(rnd), 0, 1},
};

void fset_error(const char *msg)
{
    engine.errmes = (msg && *msg) ? msg : nullptr;
}

const char *fget_error()
{
    return engine.errmes;
}

int where_table(const char *name)
{
    int row = name ? findRow(name) : -1;
    fset_error(row < 0 ? kFunctionNotFound : nullptr);
    return row;
}

int read_table(int i, char *name, int *n_pars, int *varying)
{
    if (i < 0 || i >= FTABLE_SIZE || !ftable[i].func) {
        fset_error(kIndexOutOfBounds);
        return 0;
    }
    if (name)
        std::strcpy(name, ftable[i].name);
    if (n_pars)
        *n_pars = ftable[i].n_pars;
    if (varying)
        *varying = ftable[i].varying;
    fset_error(nullptr);
    return 1;
}

int fnew(const char *name, ffunc func, int n_pars, int varying)
{
    if (static_cast<unsigned>(n_pars) > 3) {
        fset_error(kInvalidParameterCount);
        return 0;
    }
    // A row with a null function would end the table early and hide every later row.
    if (!name || !func) {
        fset_error(kNoFunction);
        return 0;
    }
    int row = findRow(name);
    if (row >= 0) {
        ftable[row].func = func;
        ftable[row].n_pars = n_pars;
        ftable[row].varying = varying;
        fset_error(nullptr);
        return 1;
    }
    row = rowsInUse();
    if (row > kLastUsableRow) {
        fset_error(kTableFull);
        return 0;
    }
    std::size_t len = std::strlen(name);
    char *copy = static_cast<char *>(std::calloc(len + 1, 1));
    if (!copy) {
        fset_error(kNoMemory);
        return 0;
    }
    std::memcpy(copy, name, len);
    ftable[row] = frow{copy, func, n_pars, varying};
    fset_error(nullptr);
    return 1;
}

int fbuiltin(int row)
{
    // The rows as they start; fnew may replace the function of any of them.
    static const ffunc original[kBuiltinRows] = {
        fExp, fLn,   fSin,          fCos,          fTan, fAsin, fAcos, fAtan, asRowFunc(fAtan2),
        fAbs, fSqrt, asRowFunc(pi), asRowFunc(rnd)};
    return row >= 0 && row < kBuiltinRows && ftable[row].func == original[row];
}

int fdel(const char *name)
{
    int row = where_table(name);
    if (row < 0)
        return -1;
    if (row < kBuiltinRows) {
        fset_error(kOriginalFunction);
        return -1;
    }
    int used = rowsInUse();
    std::free(const_cast<char *>(ftable[row].name));
    for (int i = row; i < used - 1; ++i)
        ftable[i] = ftable[i + 1];
    ftable[used - 1] = frow{nullptr, nullptr, 0, 0};
    fset_error(nullptr);
    return used;
}
