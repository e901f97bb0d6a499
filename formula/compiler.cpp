#include "formula/formula.h"
#include "formula/bytecode.h"
#include "formula/engine_state.h"

#include <locale.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>

// A recursive descent. An operand is a chain of terms joined by '+'/'-', a term a
// chain of factors joined by '*'/'/', a factor a unary minus with its operand or a
// chain of primaries joined by '^', and a primary a parenthesised operand, a
// parameter, a number or a call. All three operators associate to the left, so
// compiling each chain left to right, every link followed by its operator and the
// fold, gives the code of splitting at the rightmost operator of the loosest class.
// Only operands nested in a primary or after a unary minus recurse, at most
// kMaxNesting deep.

namespace {

const char kNoMemory[] = "no memory";
const char kUndeclared[] = "undeclared parameter";
const char kSizeEstimate[] = "I4: size estimate too small";
const char kMissingOperand[] = "missing operand";
const char kUnmatched[] = "unmatched parentheses";
const char kTooManyConstants[] = "too many constants";
const char kSyntaxError[] = "syntax error";
const char kImproperCall[] = "improper function syntax";
const char kTooManyParameters[] = "too many parameters";
const char kTooFewParameters[] = "too few parameters";
const char kTooDeep[] = "expression too deeply nested";
const char kTooLong[] = "expression too long";

// Longest text translate() accepts; keeps every compilation bounded in time and memory.
constexpr int kMaxTextLength = 1000000;
// Operands nested inside the whole text: parenthesised, after a unary minus or as a
// function argument ('((x))' nests two, '-(x)' two, 'sin(x)' one). Each costs the
// C stack one operand() call with what it inlines, about 240 bytes optimised, so
// the deepest text needs some 250 KB of stack (450 KB unoptimised, 630 KB with the
// address sanitizer); tst_formula compiles it on a 512 KB stack.
constexpr int kMaxNesting = 1000;
constexpr int kMaxConstants = 255;

CompileState &cs = engine.comp;

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isLower(char c)
{
    return c >= 'a' && c <= 'z';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isNameChar(char c)
{
    return isLetter(c) || isDigit(c) || c == '_';
}

// Numbers are read in the C locale whatever locale the application set.
double parseNumber(const char *text, char **end)
{
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return cLocale ? strtod_l(text, end, cLocale) : std::strtod(text, end);
}

bool fail(const char *msg, const char *at)
{
    fset_error(msg);
    cs.i_error = at;
    return false;
}

// Function-table row of the name [b, e); -1 with the lookup's message set when there
// is none.
int findRow(const char *b, const char *e)
{
    const std::size_t length = static_cast<std::size_t>(e - b);
    char shortName[64];
    char *name =
        length < sizeof shortName ? shortName : static_cast<char *>(std::malloc(length + 1));
    if (!name) {
        fset_error(kNoMemory);
        return -1;
    }
    std::memcpy(name, b, length);
    name[length] = 0;
    const int row = where_table(name);
    if (name != shortName)
        std::free(name);
    return row;
}

enum class OpClass { Sum, Product, Power };

// Compiles one range of text. The parenthesis structure of the range is indexed
// once, so that no operand is rescanned to check or skip its parentheses and
// compiling stays linear in the length of the text however deeply it nests.
class Compiler
{
public:
    Compiler(const char *begin, const char *end, unsigned char *code)
        : text(begin)
        , out(code)
    {
        const int n = static_cast<int>(end - begin);
        length = n;
        depthBefore = static_cast<int *>(std::malloc((n + 1) * sizeof(int)));
        drop = static_cast<int *>(std::malloc((n + 1) * sizeof(int)));
        if (!depthBefore || !drop)
            return;
        int d = 0, lo = 0, hi = 0;
        for (int i = 0; i < n; ++i) {
            depthBefore[i] = d;
            if (text[i] == '(')
                ++d;
            else if (text[i] == ')')
                --d;
            lo = std::min(lo, d);
            hi = std::max(hi, d);
        }
        depthBefore[n] = d;
        // Right to left, closeAt[d - lo] is the nearest ')' seen so far with depth d
        // before it.
        int *closeAt = static_cast<int *>(std::malloc((hi - lo + 1) * sizeof(int)));
        if (!closeAt)
            return;
        std::fill(closeAt, closeAt + (hi - lo + 1), n);
        drop[n] = n;
        for (int i = n - 1; i >= 0; --i) {
            if (text[i] == ')')
                closeAt[depthBefore[i] - lo] = i;
            drop[i] = closeAt[depthBefore[i] - lo];
        }
        std::free(closeAt);
        indexed = true;
    }
    ~Compiler()
    {
        std::free(depthBefore);
        std::free(drop);
    }
    Compiler(const Compiler &) = delete;
    Compiler &operator=(const Compiler &) = delete;

    // Compiles the whole range; the end of its code, or null on error.
    unsigned char *run()
    {
        if (!indexed) {
            fail(kNoMemory, nullptr);
            return nullptr;
        }
        return operand(text, text + length, 0) ? out : nullptr;
    }

private:
    const char *text;
    int length = 0;
    // depthBefore[i]: parenthesis depth before character i, for i = 0..length.
    int *depthBefore = nullptr;
    // drop[i]: first position q >= i holding a ')' with depthBefore[q] == depthBefore[i],
    // that is where the depth first falls below depthBefore[i]; length when it never does.
    int *drop = nullptr;
    bool indexed = false;
    unsigned char *out; // where the next code byte goes

    int at(const char *p) const { return static_cast<int>(p - text); }
    // Position of the ')' matching the '(' at p, or the end of the range.
    const char *matchingClose(const char *p) const { return text + drop[at(p) + 1]; }

    bool balanced(const char *b, const char *e) const
    {
        // The first ')' that takes the depth below the one at b, then the depth at e.
        const char *q = text + drop[at(b)];
        if (q < e)
            return fail(kUnmatched, q);
        if (depthBefore[at(e)] != depthBefore[at(b)])
            return fail(kUnmatched, e - 1);
        return true;
    }

    // First top-level operator of the class in [p, e) of a balanced operand starting
    // at `begin`, or e.
    const char *nextOperator(const char *p, const char *e, OpClass cls, const char *begin) const
    {
        for (; p < e; ++p) {
            const char c = *p;
            if (c == '(') {
                p = matchingClose(p);
                continue;
            }
            switch (cls) {
            case OpClass::Sum:
                // A '-' that starts the operand is a unary minus; after 'E' both signs
                // belong to an exponent: 1E-5.
                if ((c == '+' || (c == '-' && p != begin)) && !(p > begin && p[-1] == 'E'))
                    return p;
                break;
            case OpClass::Product:
                if (c == '*' || c == '/')
                    return p;
                break;
            case OpClass::Power:
                if (c == '^')
                    return p;
                break;
            }
        }
        return e;
    }

    // End of the function argument starting at p: the first ',' in [p, e) with the
    // depth it starts at, or e. The list need not be balanced: 'x)(,y' splits after
    // '('. A group opened at or above the starting depth can be skipped whole.
    const char *argumentEnd(const char *p, const char *e) const
    {
        for (int depth = 0; p < e; ++p) {
            if (*p == '(' && depth >= 0)
                p = std::min(matchingClose(p), e);
            else if (*p == '(')
                ++depth;
            else if (*p == ')')
                --depth;
            else if (*p == ',' && depth == 0)
                return p;
        }
        return e;
    }

    void put(unsigned char op) { *out++ = op; }
    void put(unsigned char op, unsigned char operand)
    {
        *out++ = op;
        *out++ = operand;
    }
    // Folds the code from start, which ends with the operator or call of npars operands.
    bool fold(unsigned char *start, int npars)
    {
        out = comp_time(start, out, npars);
        return fget_error() == nullptr;
    }
    bool apply(unsigned char op, unsigned char *start, int npars)
    {
        put(op);
        return fold(start, npars);
    }

    // [b, e) as one operand nested in `nesting` others of the range.
    bool operand(const char *b, const char *e, int nesting)
    {
        if (nesting > kMaxNesting)
            return fail(kTooDeep, b);
        if (b >= e)
            return fail(kMissingOperand, b);
        if (!balanced(b, e))
            return false;
        unsigned char *start = out;
        for (const char *p = b;;) {
            const char *next = nextOperator(p, e, OpClass::Sum, b);
            if (!term(p, next, nesting))
                return false;
            if (p != b && !apply(static_cast<unsigned char>(p[-1]), start, 2))
                return false;
            if (next == e)
                return true;
            p = next + 1;
        }
    }

    bool term(const char *b, const char *e, int nesting)
    {
        unsigned char *start = out;
        for (const char *p = b;;) {
            const char *next = nextOperator(p, e, OpClass::Product, p);
            if (p >= next)
                return fail(kMissingOperand, p);
            if (!factor(p, next, nesting))
                return false;
            if (p != b && !apply(static_cast<unsigned char>(p[-1]), start, 2))
                return false;
            if (next == e)
                return true;
            p = next + 1;
        }
    }

    bool factor(const char *b, const char *e, int nesting)
    {
        unsigned char *start = out;
        if (*b == '-')
            return operand(b + 1, e, nesting + 1) && apply(OP_NEG, start, 1);
        for (const char *p = b;;) {
            const char *next = nextOperator(p, e, OpClass::Power, p);
            if (!primary(p, next, nesting))
                return false;
            if (p != b && !apply(OP_POW, start, 2))
                return false;
            if (next == e)
                return true;
            p = next + 1;
        }
    }

    // An operand without top-level operators: '(...)', a parameter, a number or a call.
    bool primary(const char *b, const char *e, int nesting)
    {
        if (b >= e)
            return fail(kMissingOperand, b);
        while (b < e && isSpace(*b))
            ++b;
        while (e > b && isSpace(e[-1]))
            --e;
        if (e - b >= 2 && *b == '(' && e[-1] == ')')
            return operand(b + 1, e - 1, nesting + 1);
        if (e - b == 1 && isLower(*b)) {
            put(OP_VAR, static_cast<unsigned char>(*b));
            return true;
        }
        if (e > b) {
            char *numberEnd = nullptr;
            const double v = parseNumber(b, &numberEnd);
            if (numberEnd == e) {
                if (cs.i_pctable >= kMaxConstants)
                    return fail(kTooManyConstants, b);
                cs.i_ctable[cs.i_pctable] = v;
                put(OP_CONST, static_cast<unsigned char>(cs.i_pctable++));
                return true;
            }
        }
        // An operand of white space only ends up here, with b at the character after it.
        if (!isLetter(*b) && *b != '_')
            return fail(kSyntaxError, b);
        const char *nameEnd = b;
        while (nameEnd < e && isNameChar(*nameEnd))
            ++nameEnd;
        const int row = findRow(b, nameEnd);
        if (row < 0)
            return fail(fget_error(), b);
        if (nameEnd == e || *nameEnd != '(' || e[-1] != ')')
            return fail(kImproperCall, nameEnd);
        return call(row, nameEnd + 1, e - 1, nesting);
    }

    // The call of `row` with the arguments [b, e), e at the final ')'. The argument
    // count is checked before any argument is compiled.
    bool call(int row, const char *b, const char *e, int nesting)
    {
        unsigned char *start = out;
        const int npars = ftable[row].n_pars;
        if (npars == 0) {
            for (const char *p = b; p < e; ++p) {
                if (!isSpace(*p))
                    return fail(kTooManyParameters, b);
            }
        } else {
            const char *arg = b;
            for (int k = 0; k < npars; ++k) {
                if (!arg)
                    return fail(kTooFewParameters, e - 1);
                const char *argEnd = argumentEnd(arg, e);
                arg = argEnd < e ? argEnd + 1 : nullptr;
            }
            if (arg)
                return fail(kTooManyParameters, arg);
        }
        const char *arg = b;
        for (int k = 0; k < npars; ++k) {
            const char *argEnd = argumentEnd(arg, e);
            if (!operand(arg, argEnd, nesting + 1))
                return false;
            arg = argEnd + 1;
        }
        put(OP_CALL, static_cast<unsigned char>(row));
        return fold(start, npars);
    }
};

// Values the code needs on the evaluator's stack at once.
int stackNeed(const unsigned char *code)
{
    int depth = 0, most = 0;
    for (const unsigned char *p = code; *p; p += instructionLength(*p)) {
        const StackEffect effect = stackEffect(p);
        depth += effect.leaves - effect.takes;
        most = std::max(most, depth);
    }
    return most;
}

// Position of the first lone lower-case letter of text that args does not declare, or -1.
int undeclaredAt(const char *text, std::size_t n, const char *args)
{
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (isLower(c) && !isLetter(text[i + 1]) && (i == 0 || !isLetter(text[i - 1])) &&
            !std::strchr(args, c))
            return static_cast<int>(i);
    }
    return -1;
}

// The formula of code (size bytes, estimate allocated for) and count constants of the
// working table, each moved into a block of its exact size; where that allocation
// fails the larger block stays. With all 255 constants the working table is kept.
formu trimmed(unsigned char *code, int size, int estimate, double *table, int count)
{
    if (size < estimate) {
        if (auto *exact = static_cast<unsigned char *>(std::malloc(size))) {
            std::memcpy(exact, code, size);
            std::free(code);
            code = exact;
        }
    }
    if (count < kMaxConstants) {
        if (auto *exact = static_cast<double *>(std::malloc(count * sizeof(double)))) {
            std::memcpy(exact, table, count * sizeof(double));
            std::free(table);
            table = exact;
        }
    }
    return formu{code, table};
}

} // namespace

int isoper(char c)
{
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '^';
}

int is_code_oper(unsigned char c)
{
    return c == OP_ADD || c == OP_SUB || c == OP_MUL || c == OP_DIV || c == OP_POW || c == OP_NEG;
}

int isin_real(char c)
{
    return isDigit(c) || c == '.' || c == 'E';
}

int max_size(const char *text)
{
    if (!text)
        return 1;
    long long numbers = 0, operators = 0, calls = 0, variables = 0;
    bool inNumber = false;
    for (std::size_t i = 0; text[i]; ++i) {
        char c = text[i];
        bool afterE = i > 0 && text[i - 1] == 'E';
        bool numberChar = isin_real(c) || ((c == '+' || c == '-') && afterE);
        if (numberChar && !inNumber)
            ++numbers;
        inNumber = numberChar;
        if (isoper(c) && !afterE)
            ++operators;
        if (isLetter(c) && c != 'E' && !isLetter(text[i + 1])) {
            if (text[i + 1] == '(')
                ++calls;
            else
                ++variables;
        }
    }
    long long size = 9 * numbers + operators + 9 * calls + 2 * variables + 1;
    return static_cast<int>(std::min<long long>(size, 0x7FFFFFFF));
}

char *my_strtok(char *s)
{
    if (s)
        cs.token = s;
    if (!cs.token)
        return nullptr;
    char *start = cs.token;
    int depth = 0;
    for (char *p = start;; ++p) {
        if (*p == 0) {
            cs.token = nullptr;
            return start;
        }
        if (*p == '(') {
            ++depth;
        } else if (*p == ')') {
            --depth;
        } else if (*p == ',' && depth == 0) {
            *p = 0;
            cs.token = p + 1;
            return start;
        }
    }
}

unsigned char *comp_time(unsigned char *function, unsigned char *fend, int npars)
{
    if (!function || !fend || !cs.i_ctable || npars < 0 || npars > cs.i_pctable)
        return fend;
    long len = static_cast<long>(fend - function);
    long operands = 2L * npars;
    bool call = len == operands + 2;
    if (!call && len != operands + 1)
        return fend;
    for (long k = 0; k < operands; k += 2) {
        if (function[k] != OP_CONST)
            return fend;
    }
    const unsigned char *tail = function + operands;
    if (call ? (tail[0] != OP_CALL || ftable[tail[1]].varying != 0) : !is_code_oper(tail[0]))
        return fend;

    unsigned char saved = *fend;
    *fend = OP_END;
    double v = value(formu{function, cs.i_ctable});
    *fend = saved;

    cs.i_pctable -= npars;
    if (cs.i_pctable >= kMaxConstants) {
        fset_error(kTooManyConstants);
        return fend;
    }
    cs.i_ctable[cs.i_pctable] = v;
    function[0] = OP_CONST;
    function[1] = static_cast<unsigned char>(cs.i_pctable);
    ++cs.i_pctable;
    return function + 2;
}

// The code of [begin, end) takes at most two bytes per character (a one-character
// number or parameter), and folding writes one byte after it for the while: function
// needs room for 2 * (end - begin) + 1 bytes.
unsigned char *i_trans(unsigned char *function, char *begin, char *end)
{
    if (!function || !begin || !end || begin >= end) {
        fail(kMissingOperand, begin);
        return nullptr;
    }
    // Outside translate() there is no working constant table; lend one for the call.
    static double scratchTable[kMaxConstants];
    const bool lent = !cs.i_ctable;
    const int savedCount = cs.i_pctable;
    if (lent) {
        cs.i_ctable = scratchTable;
        cs.i_pctable = 0;
    }
    unsigned char *result = Compiler(begin, end, function).run();
    if (lent) {
        cs.i_ctable = nullptr;
        cs.i_pctable = savedCount;
    }
    return result;
}

formu translate(const char *source, const char *args, int *length, int *error)
{
    int lengthSink = 0, errorSink = 0;
    if (!length)
        length = &lengthSink;
    if (!error)
        error = &errorSink;
    if (!source)
        source = "";
    if (!args)
        args = "";

    // A compilation started from inside another one (through a folded user function)
    // must leave the outer one's working state as it was.
    const CompileState saved = cs;
    cs.i_error = nullptr;
    cs.i_pctable = 0;
    *length = 0;
    *error = -1;
    bool failed = true;
    char *copy = nullptr;
    unsigned char *code = nullptr;
    double *table = nullptr;
    int estimate = 0;

    const std::size_t n = strnlen(source, kMaxTextLength + 1);
    if (n > static_cast<std::size_t>(kMaxTextLength)) {
        fset_error(kTooLong);
        *error = kMaxTextLength;
    } else if (!(copy = static_cast<char *>(std::malloc(n + 1)))) {
        fset_error(kNoMemory);
        *error = 0;
    } else {
        std::memcpy(copy, source, n + 1);
        *error = undeclaredAt(copy, n, args);
        if (*error >= 0) {
            fset_error(kUndeclared);
        } else {
            // The code fits the estimate; the buffer also covers the real bound of
            // i_trans, so names the estimate misses (table rows added with fnew)
            // cannot overrun it.
            estimate = max_size(copy);
            code = static_cast<unsigned char *>(
                std::malloc(std::max<std::size_t>(estimate, 2 * n + 2)));
            table = static_cast<double *>(std::calloc(kMaxConstants, sizeof(double)));
            if (!code || !table)
                fset_error(kNoMemory);
            else
                failed = false;
        }
    }
    if (!failed) {
        cs.i_ctable = table;
        fset_error(nullptr);
        unsigned char *end = i_trans(code, copy, copy + n);
        if (!end || fget_error()) {
            failed = true;
            *error = cs.i_error ? static_cast<int>(cs.i_error - copy) : -1;
        } else {
            *end = OP_END;
            *length = static_cast<int>(end - code);
            if (*length + 1 > estimate) {
                failed = true;
                fset_error(kSizeEstimate);
            } else if (stackNeed(code) > VALUE_STACK_SIZE) {
                failed = true;
                fset_error(kTooDeep);
                *length = 0;
            }
        }
    }
    std::free(copy);

    formu result{nullptr, nullptr};
    if (failed) {
        std::free(code);
        std::free(table);
    } else {
        fset_error(nullptr);
        result = trimmed(code, *length + 1, estimate, table, cs.i_pctable);
    }
    cs = saved;
    return result;
}
