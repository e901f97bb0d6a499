#include "formula/formula.h"
#include "formula/engine_state.h"

#include <locale.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>

// The compiler is defined by a recursive descent that splits an operand at its
// rightmost top-level operator of the loosest class. Compiling a chain of
// same-class operators left to right (each operand followed by its operator and
// the fold) produces exactly the same code, constants, errors and positions, and
// needs no recursion per term. Operands nested inside parentheses, after a unary
// minus or as function arguments go on a heap stack of at most kMaxNesting frames,
// so no text can exhaust the C stack.

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
// Operands nested inside each other (parentheses, unary minus, function arguments);
// bounds the compiler's frame stack to a few megabytes.
constexpr int kMaxNesting = 50000;
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

const TextIndex *indexFor(const char *b, const char *e)
{
    const TextIndex *ix = cs.index;
    if (ix && b >= ix->text && e <= ix->text + ix->length)
        return ix;
    return nullptr;
}

bool buildIndex(TextIndex &ix, const char *text, int n)
{
    ix.text = text;
    ix.length = n;
    ix.depth = static_cast<int *>(std::malloc((n + 1) * sizeof(int)));
    ix.drop = static_cast<int *>(std::malloc((n + 1) * sizeof(int)));
    if (!ix.depth || !ix.drop)
        return false;
    int d = 0, lo = 0, hi = 0;
    for (int i = 0; i < n; ++i) {
        ix.depth[i] = d;
        if (text[i] == '(')
            ++d;
        else if (text[i] == ')')
            --d;
        lo = std::min(lo, d);
        hi = std::max(hi, d);
    }
    ix.depth[n] = d;
    // Right to left, closeAt[d - lo] is the nearest ')' seen so far with depth d before it.
    int *closeAt = static_cast<int *>(std::malloc((hi - lo + 1) * sizeof(int)));
    if (!closeAt)
        return false;
    std::fill(closeAt, closeAt + (hi - lo + 1), n);
    ix.drop[n] = n;
    for (int i = n - 1; i >= 0; --i) {
        if (text[i] == ')')
            closeAt[ix.depth[i] - lo] = i;
        ix.drop[i] = closeAt[ix.depth[i] - lo];
    }
    std::free(closeAt);
    return true;
}

void freeIndex(TextIndex &ix)
{
    std::free(ix.depth);
    std::free(ix.drop);
    ix = TextIndex();
}

// Position of the ')' matching the '(' at p; the operand holding p must be balanced.
const char *matchingClose(const TextIndex *ix, const char *p)
{
    return ix->text + ix->drop[p + 1 - ix->text];
}

bool checkBalance(const char *b, const char *e)
{
    if (const TextIndex *ix = indexFor(b, e)) {
        int ib = static_cast<int>(b - ix->text);
        int ie = static_cast<int>(e - ix->text);
        int q = ix->drop[ib];
        if (q < ie)
            return fail(kUnmatched, ix->text + q);
        if (ix->depth[ie] != ix->depth[ib])
            return fail(kUnmatched, e - 1);
        return true;
    }
    int depth = 0;
    const char *p = b;
    for (; p < e; ++p) {
        if (*p == '(') {
            ++depth;
        } else if (*p == ')') {
            if (--depth < 0)
                break;
        }
    }
    if (depth != 0)
        return fail(kUnmatched, p < e ? p : e - 1);
    return true;
}

enum class OpClass { Sum, Product, Power };

// Next top-level operator of the class in [p, e) of a balanced operand that starts at
// `begin`, or e. p must be at the operand's top level.
const char *nextOperator(const char *p, const char *e, OpClass cls, const char *begin)
{
    const TextIndex *ix = indexFor(p, e);
    int depth = 0;
    for (; p < e; ++p) {
        char c = *p;
        if (c == '(') {
            if (ix)
                p = matchingClose(ix, p);
            else
                ++depth;
            continue;
        }
        if (c == ')') {
            --depth;
            continue;
        }
        if (depth != 0)
            continue;
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

// End of the function argument starting at p: the first ',' at depth 0 counted from
// p, or e. `balanced` says that [p, e) lies in a balanced argument list, so nested
// parentheses can be skipped whole.
const char *argumentEnd(const char *p, const char *e, bool balanced)
{
    const TextIndex *ix = balanced ? indexFor(p, e) : nullptr;
    int depth = 0;
    for (; p < e; ++p) {
        if (*p == '(') {
            if (ix)
                p = matchingClose(ix, p);
            else
                ++depth;
        } else if (*p == ')') {
            --depth;
        } else if (*p == ',' && depth == 0) {
            return p;
        }
    }
    return e;
}

bool emit(unsigned char a)
{
    // One byte stays free for the terminating 0 that folding and translate() write.
    if (cs.codeLimit && cs.codeLimit - cs.out < 2)
        return fail(kSizeEstimate, nullptr);
    *cs.out++ = a;
    return true;
}

bool emit(unsigned char a, unsigned char b)
{
    return emit(a) && emit(b);
}

bool fold(unsigned char *start, int npars)
{
    cs.out = comp_time(start, cs.out, npars);
    return fget_error() == nullptr;
}

// What an operand waits for while an operand nested in it is compiled.
enum class Resume { UnaryOperand, Parenthesised, Argument };

// One operand being compiled: [b, e) and where each of its nested loops stands.
struct Frame
{
    const char *b, *e;
    const char *sum, *sumOp;    // current term and the operator after it (or e)
    const char *prod, *prodOp;  // current factor of the term and the operator after it
    const char *pow, *powOp;    // current base/exponent of the factor and the '^' after it
    unsigned char *start;       // code of the whole operand
    unsigned char *termStart;   // code of the current term
    unsigned char *factorStart; // code of the current factor
    unsigned char *callStart;   // code of the current function call
    const char *arg, *argEnd, *argsEnd;
    int row, npars, argIndex;
    bool balanced;
    Resume resume;
};

// The operands being compiled inside each other, kept on the heap so that nesting
// depth never depends on the C stack.
class FrameStack
{
public:
    FrameStack() = default;
    FrameStack(const FrameStack &) = delete;
    FrameStack &operator=(const FrameStack &) = delete;
    ~FrameStack() { std::free(frames); }

    // Starts compiling [b, e) as an operand nested in the current one.
    Frame *push(const char *b, const char *e)
    {
        if (count >= kMaxNesting) {
            fail(kTooDeep, b);
            return nullptr;
        }
        if (count == capacity) {
            int grown = capacity ? 2 * capacity : 16;
            auto *more = static_cast<Frame *>(std::realloc(frames, grown * sizeof(Frame)));
            if (!more) {
                fail(kNoMemory, b);
                return nullptr;
            }
            frames = more;
            capacity = grown;
        }
        Frame *f = &frames[count++];
        *f = Frame();
        f->b = b;
        f->e = e;
        return f;
    }
    // Finishes the current operand; returns the one it was nested in, or null.
    Frame *pop()
    {
        --count;
        return count ? &frames[count - 1] : nullptr;
    }

private:
    Frame *frames = nullptr;
    int count = 0;
    int capacity = 0;
};

enum class PrimaryStep { Failed, Done, Descend, Arguments };

// Starts the primary [b, e), an operand without top-level operators: '(...)', a
// parameter, a number or a call. Descend: compile [*childB, *childE) and the primary
// is done. Arguments: compile f's arguments one by one, then the call.
PrimaryStep beginPrimary(Frame &f, const char *b, const char *e, const char **childB,
                         const char **childE)
{
    if (b >= e) {
        fail(kMissingOperand, b);
        return PrimaryStep::Failed;
    }
    while (b < e && isSpace(*b))
        ++b;
    while (e > b && isSpace(e[-1]))
        --e;

    if (e - b >= 2 && *b == '(' && e[-1] == ')') {
        *childB = b + 1;
        *childE = e - 1;
        return PrimaryStep::Descend;
    }
    if (e - b == 1 && isLower(*b))
        return emit(OP_VAR, static_cast<unsigned char>(*b)) ? PrimaryStep::Done
                                                            : PrimaryStep::Failed;
    if (e > b) {
        char *numberEnd = nullptr;
        double v = parseNumber(b, &numberEnd);
        if (numberEnd == e) {
            if (cs.i_pctable >= kMaxConstants) {
                fail(kTooManyConstants, b);
                return PrimaryStep::Failed;
            }
            if (!emit(OP_CONST, static_cast<unsigned char>(cs.i_pctable)))
                return PrimaryStep::Failed;
            cs.i_ctable[cs.i_pctable++] = v;
            return PrimaryStep::Done;
        }
    }
    // An operand of white space only ends up here, with b at the character after it.
    if (!isLetter(*b) && *b != '_') {
        fail(kSyntaxError, b);
        return PrimaryStep::Failed;
    }

    const char *nameEnd = b;
    while (nameEnd < e && isNameChar(*nameEnd))
        ++nameEnd;
    std::size_t nameLength = static_cast<std::size_t>(nameEnd - b);
    char shortName[64];
    char *name = nameLength < sizeof shortName ? shortName
                                               : static_cast<char *>(std::malloc(nameLength + 1));
    if (!name) {
        fail(kNoMemory, b);
        return PrimaryStep::Failed;
    }
    std::memcpy(name, b, nameLength);
    name[nameLength] = 0;
    int row = where_table(name);
    if (name != shortName)
        std::free(name);
    if (row < 0) {
        fail(fget_error(), b);
        return PrimaryStep::Failed;
    }
    if (nameEnd == e || *nameEnd != '(' || e[-1] != ')') {
        fail(kImproperCall, nameEnd);
        return PrimaryStep::Failed;
    }

    f.callStart = cs.out;
    f.row = row;
    f.npars = ftable[row].n_pars;
    const char *argsBegin = nameEnd + 1; // after '('
    f.argsEnd = e - 1;                   // the final ')'
    if (f.npars == 0) {
        for (const char *p = argsBegin; p < f.argsEnd; ++p) {
            if (!isSpace(*p)) {
                fail(kTooManyParameters, argsBegin);
                return PrimaryStep::Failed;
            }
        }
        bool ok = emit(OP_CALL, static_cast<unsigned char>(row)) && fold(f.callStart, 0);
        return ok ? PrimaryStep::Done : PrimaryStep::Failed;
    }

    const TextIndex *ix = indexFor(b, e);
    f.balanced = ix && matchingClose(ix, nameEnd) == f.argsEnd;
    // The argument count is checked before any argument is compiled.
    const char *arg = argsBegin;
    for (int k = 0; k < f.npars; ++k) {
        if (!arg) {
            fail(kTooFewParameters, e - 2);
            return PrimaryStep::Failed;
        }
        const char *argEnd = argumentEnd(arg, f.argsEnd, f.balanced);
        arg = argEnd < f.argsEnd ? argEnd + 1 : nullptr;
    }
    if (arg) {
        fail(kTooManyParameters, arg);
        return PrimaryStep::Failed;
    }
    f.arg = argsBegin;
    f.argIndex = 0;
    return PrimaryStep::Arguments;
}

// Compiles [b0, e0) as one operand at cs.out, leaving cs.out after its code.
//
// An operand is a chain of terms joined by '+'/'-', each term a chain of factors
// joined by '*'/'/', each factor a unary minus with its operand or a chain of
// primaries joined by '^'. Each chain is compiled left to right, each link followed
// by its operator and the fold. Operands nested in a primary or after a unary minus
// are compiled on an explicit stack of frames; the labels below are the points
// where an operand continues once its nested operand is done.
bool compileOperand(const char *b0, const char *e0)
{
    FrameStack stack;
    Frame *f = stack.push(b0, e0);
    const char *childB = nullptr, *childE = nullptr;
    if (!f)
        return false;

enter:
    if (f->b >= f->e)
        return fail(kMissingOperand, f->b);
    if (!checkBalance(f->b, f->e))
        return false;
    f->start = cs.out;
    f->sum = f->b;
nextTerm:
    f->sumOp = nextOperator(f->sum, f->e, OpClass::Sum, f->b);
    f->termStart = cs.out;
    f->prod = f->sum;
nextFactor:
    f->prodOp = nextOperator(f->prod, f->sumOp, OpClass::Product, f->prod);
    if (f->prod >= f->prodOp)
        return fail(kMissingOperand, f->prod);
    f->factorStart = cs.out;
    if (*f->prod == '-') {
        f->resume = Resume::UnaryOperand;
        childB = f->prod + 1;
        childE = f->prodOp;
        goto descend;
    }
    f->pow = f->prod;
nextPower:
    f->powOp = nextOperator(f->pow, f->prodOp, OpClass::Power, f->pow);
    switch (beginPrimary(*f, f->pow, f->powOp, &childB, &childE)) {
    case PrimaryStep::Failed:
        return false;
    case PrimaryStep::Done:
        goto primaryDone;
    case PrimaryStep::Descend:
        f->resume = Resume::Parenthesised;
        goto descend;
    case PrimaryStep::Arguments:
        goto nextArgument;
    }
nextArgument:
    if (f->argIndex == f->npars) {
        if (!(emit(OP_CALL, static_cast<unsigned char>(f->row)) && fold(f->callStart, f->npars)))
            return false;
        goto primaryDone;
    }
    f->argEnd = argumentEnd(f->arg, f->argsEnd, f->balanced);
    f->resume = Resume::Argument;
    childB = f->arg;
    childE = f->argEnd;
    goto descend;
argumentDone:
    f->arg = f->argEnd + 1;
    ++f->argIndex;
    goto nextArgument;
primaryDone:
    if (f->pow != f->prod && !(emit(OP_POW) && fold(f->factorStart, 2)))
        return false;
    if (f->powOp != f->prodOp) {
        f->pow = f->powOp + 1;
        goto nextPower;
    }
factorDone:
    if (f->prod != f->sum &&
        !(emit(static_cast<unsigned char>(f->prod[-1])) && fold(f->termStart, 2)))
        return false;
    if (f->prodOp != f->sumOp) {
        f->prod = f->prodOp + 1;
        goto nextFactor;
    }
    if (f->sum != f->b && !(emit(static_cast<unsigned char>(f->sum[-1])) && fold(f->start, 2)))
        return false;
    if (f->sumOp != f->e) {
        f->sum = f->sumOp + 1;
        goto nextTerm;
    }
    // This operand is compiled; continue the one it is nested in.
    f = stack.pop();
    if (!f)
        return true;
    switch (f->resume) {
    case Resume::UnaryOperand:
        if (!(emit(OP_NEG) && fold(f->factorStart, 1)))
            return false;
        goto factorDone;
    case Resume::Parenthesised:
        goto primaryDone;
    case Resume::Argument:
        goto argumentDone;
    }
    return false;

descend:
    f = stack.push(childB, childE);
    if (!f)
        return false;
    goto enter;
}

// Values the code needs on the evaluator's stack at once.
int stackNeed(const unsigned char *code)
{
    int depth = 0, most = 0;
    for (const unsigned char *p = code; *p;) {
        switch (*p) {
        case OP_CONST:
        case OP_VAR:
            ++depth;
            p += 2;
            break;
        case OP_CALL:
            depth += 1 - ftable[p[1]].n_pars;
            p += 2;
            break;
        case OP_NEG:
            ++p;
            break;
        default:
            --depth;
            ++p;
            break;
        }
        most = std::max(most, depth);
    }
    return most;
}

// Runs the compiler over [begin, end) writing at code; null on error.
unsigned char *run(unsigned char *code, const char *begin, const char *end)
{
    cs.out = code;
    if (!compileOperand(begin, end))
        return nullptr;
    return cs.out;
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

unsigned char *i_trans(unsigned char *function, char *begin, char *end)
{
    if (!function || !begin || !end) {
        fail(kMissingOperand, begin);
        return nullptr;
    }
    // Called on its own, outside translate(): no size limit is known, the text may
    // not be the indexed one, and there is no working constant table, so lend one.
    static double scratchTable[kMaxConstants];
    const CompileState saved = cs;
    if (!cs.i_ctable) {
        cs.i_ctable = scratchTable;
        cs.i_pctable = 0;
    }
    cs.index = indexFor(begin, end);
    cs.codeLimit = nullptr;
    unsigned char *result = run(function, begin, end);
    const char *err = cs.i_error;
    cs = saved;
    cs.i_error = err;
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
    const formu empty{nullptr, nullptr};

    const CompileState saved = cs;
    auto finish = [&](formu f) {
        cs = saved;
        return f;
    };
    cs.i_error = nullptr;

    std::size_t n = strnlen(source, kMaxTextLength + 1);
    if (n > static_cast<std::size_t>(kMaxTextLength)) {
        fset_error(kTooLong);
        *length = 0;
        *error = kMaxTextLength;
        return finish(empty);
    }
    char *copy = static_cast<char *>(std::malloc(n + 1));
    if (!copy) {
        fset_error(kNoMemory);
        *length = 0;
        *error = 0;
        return finish(empty);
    }
    std::memcpy(copy, source, n + 1);

    for (std::size_t i = 0; i < n; ++i) {
        char c = copy[i];
        if (isLower(c) && !isLetter(copy[i + 1]) && (i == 0 || !isLetter(copy[i - 1])) &&
            !std::strchr(args, c)) {
            std::free(copy);
            fset_error(kUndeclared);
            *length = 0;
            *error = static_cast<int>(i);
            return finish(empty);
        }
    }

    // The estimate is what the code may use; the buffer also covers the real bound
    // of two bytes per character, so names the estimate misses (table rows added
    // with fnew) cannot overrun it.
    int estimate = max_size(copy);
    std::size_t capacity = std::max<std::size_t>(estimate, 2 * n + 2);
    unsigned char *code = static_cast<unsigned char *>(std::malloc(capacity));
    if (!code) {
        std::free(copy);
        fset_error(kNoMemory);
        *length = 0;
        *error = -1;
        return finish(empty);
    }
    double *table = static_cast<double *>(std::calloc(kMaxConstants, sizeof(double)));
    if (!table) {
        std::free(code);
        std::free(copy);
        fset_error(kNoMemory);
        *length = 0;
        *error = -1;
        return finish(empty);
    }
    TextIndex index;
    if (!buildIndex(index, copy, static_cast<int>(n))) {
        freeIndex(index);
        std::free(table);
        std::free(code);
        std::free(copy);
        fset_error(kNoMemory);
        *length = 0;
        *error = -1;
        return finish(empty);
    }

    cs.i_pctable = 0;
    cs.i_ctable = table;
    cs.index = &index;
    cs.codeLimit = code + capacity;
    fset_error(nullptr);
    unsigned char *end = run(code, copy, copy + n);
    freeIndex(index);

    auto discard = [&]() {
        std::free(code);
        std::free(table);
        std::free(copy);
    };
    if (!end || fget_error()) {
        *length = 0;
        *error = cs.i_error ? static_cast<int>(cs.i_error - copy) : -1;
        discard();
        return finish(empty);
    }
    *end = OP_END;
    *error = -1;
    *length = static_cast<int>(end - code);
    if (*length + 1 > estimate) {
        fset_error(kSizeEstimate);
        discard();
        return finish(empty);
    }
    if (stackNeed(code) > VALUE_STACK_SIZE) {
        fset_error(kTooDeep);
        *length = 0;
        discard();
        return finish(empty);
    }
    std::free(copy);

    if (*length + 1 < estimate) {
        if (auto *exact = static_cast<unsigned char *>(std::malloc(*length + 1))) {
            std::memcpy(exact, code, *length + 1);
            std::free(code);
            code = exact;
        }
    }
    int count = cs.i_pctable;
    if (count < kMaxConstants) {
        if (auto *exact = static_cast<double *>(std::malloc(count * sizeof(double)))) {
            std::memcpy(exact, table, count * sizeof(double));
            std::free(table);
            table = exact;
        }
    }
    fset_error(nullptr);
    return finish(formu{code, table});
}
