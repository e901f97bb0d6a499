#include "formula/formula.h"
#include "formula/engine_state.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>

namespace {

const char kEmptyFormula[] = "empty coded function";
const char kBadOperator[] = "I1: unrecognizable operator";
const char kBadArity[] = "I2: too many parameters\n";
const char kCorrupted[] = "I3: corrupted buffer";
const char kNoFunction[] = "function not found";

double *paramFor(char letter)
{
    if (letter < 'a' || letter > 'z')
        return nullptr;
    return &engine.param[letter - 'a'];
}

using Func0 = double (*)();
using Func2 = double (*)(double, double);
using Func3 = double (*)(double, double, double);

template<typename F>
F rowFunc(ffunc f)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(f));
}

double failWith(const char *msg)
{
    fset_error(msg);
    return 0.0;
}

} // namespace

// Every op-code once, with the label that runs its instruction in value() and
// the label that runs it right after a push ('D' or 'V'). value()'s jump tables,
// or its switch, are made from this list; a byte not in it is no instruction.
#define TAVLO_OPCODES(X, b)                                                                        \
    X(b, OP_END, op_end, push_then_end)                                                            \
    X(b, OP_CONST, op_const, push_then_const)                                                      \
    X(b, OP_VAR, op_var, push_then_var)                                                            \
    X(b, OP_CALL, op_call, push_then_call)                                                         \
    X(b, OP_NEG, op_neg, push_then_neg)                                                            \
    X(b, OP_ADD, op_add, fused_add)                                                                \
    X(b, OP_SUB, op_sub, fused_sub)                                                                \
    X(b, OP_MUL, op_mul, fused_mul)                                                                \
    X(b, OP_DIV, op_div, fused_div)                                                                \
    X(b, OP_POW, op_pow, fused_pow)

// The operators that are one IEEE operation each: op-code, name, C++ operator.
// Both evaluators write their instructions from this list: value() one sample
// at a time, fval_batch() as loops over a block that the compiler vectorises.
#define TAVLO_ARITHMETIC(X)                                                                        \
    X(OP_ADD, add, +)                                                                              \
    X(OP_SUB, sub, -)                                                                              \
    X(OP_MUL, mul, *)                                                                              \
    X(OP_DIV, div, /)

// Computed goto is a GCC extension (Clang has it too); -DTAVLO_COMPUTED_GOTO=0
// builds the portable switch instead (tools/switch.sh builds and tests it).
#ifndef TAVLO_COMPUTED_GOTO
#if defined(__GNUC__)
#define TAVLO_COMPUTED_GOTO 1
#else
#define TAVLO_COMPUTED_GOTO 0
#endif
#endif

#if TAVLO_COMPUTED_GOTO
// One jump per instruction through 256-entry tables of label addresses. `jump`
// runs an instruction; `fuse` runs the one after a push, which for a
// two-operand operator takes the pushed value straight from the register it was
// loaded into. Every byte that is not an op-code goes to op_bad.
#define TAVLO_IF_PLAIN(b, code, plain, pushed) (b) == (code) ? &&plain:
#define TAVLO_IF_PUSHED(b, code, plain, pushed) (b) == (code) ? &&pushed:
#define TAVLO_TARGET(b) (TAVLO_OPCODES(TAVLO_IF_PLAIN, b) && op_bad)
#define TAVLO_FUSE_TARGET(b) (TAVLO_OPCODES(TAVLO_IF_PUSHED, b) && op_bad)
#define TAVLO_T4(T, b) T(b), T(b + 1), T(b + 2), T(b + 3)
#define TAVLO_T16(T, b) TAVLO_T4(T, b), TAVLO_T4(T, b + 4), TAVLO_T4(T, b + 8), TAVLO_T4(T, b + 12)
#define TAVLO_T64(T, b)                                                                            \
    TAVLO_T16(T, b), TAVLO_T16(T, b + 16), TAVLO_T16(T, b + 32), TAVLO_T16(T, b + 48)
#define TAVLO_T256(T) TAVLO_T64(T, 0), TAVLO_T64(T, 64), TAVLO_T64(T, 128), TAVLO_T64(T, 192)
#define TAVLO_JUMP_TABLES                                                                          \
    static const void *const jump[256] = {TAVLO_T256(TAVLO_TARGET)};                               \
    static const void *const fuse[256] = {TAVLO_T256(TAVLO_FUSE_TARGET)}
#define TAVLO_DISPATCH() goto *jump[*pc++]
#define TAVLO_DISPATCH_PUSHED() goto *fuse[*pc]
#else
#define TAVLO_CASE_PLAIN(b, code, plain, pushed)                                                   \
    case code:                                                                                     \
        goto plain;
#define TAVLO_CASE_PUSHED(b, code, plain, pushed)                                                  \
    case code:                                                                                     \
        goto pushed;
#define TAVLO_JUMP_TABLES
#define TAVLO_DISPATCH()                                                                           \
    do {                                                                                           \
        switch (*pc++) {                                                                           \
            TAVLO_OPCODES(TAVLO_CASE_PLAIN, _)                                                     \
        default:                                                                                   \
            goto op_bad;                                                                           \
        }                                                                                          \
    } while (0)
#define TAVLO_DISPATCH_PUSHED()                                                                    \
    do {                                                                                           \
        switch (*pc) {                                                                             \
            TAVLO_OPCODES(TAVLO_CASE_PUSHED, _)                                                    \
        default:                                                                                   \
            goto op_bad;                                                                           \
        }                                                                                          \
    } while (0)
#endif

// Label addresses and computed goto trip -Wpedantic.
#if TAVLO_COMPUTED_GOTO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#endif

// Byte code may come from anywhere, so every push, pop and parameter letter is
// checked: a fault sets "I3: corrupted buffer" and yields 0.0 instead of
// touching memory outside the stack. Compiled code never trips these checks
// (translate refuses code that needs more than VALUE_STACK_SIZE values).
//
// The top of the stack lives in a register (`top`); the values under it are in
// stack[1..n-1] with n values in all, and stack[0] takes the meaningless `top`
// spilled by the first push. So n == sp - stack, a push needs sp < limit and an
// operator with two operands needs sp >= stack + 2.
//
// Dispatch jumps straight from each instruction to the next (GCC's computed
// goto where the compiler has it, a switch otherwise), so each op-code's jump
// has its own entry in the branch predictor.
double value(formu f)
{
    const unsigned char *pc = f.code;
    if (!pc)
        return failWith(kEmptyFormula);
    const double *const constants = f.ctable;
    double *const param = engine.param;

    double stack[VALUE_STACK_SIZE];
    double *const limit = stack + VALUE_STACK_SIZE;
    double *sp = stack;
    double top = 0.0;

    TAVLO_JUMP_TABLES;
    double pending = 0.0; // a value pushed but not yet stored, see push_then_*
    TAVLO_DISPATCH();

op_end:
    if (sp == stack + 1)
        return top;
    fset_error(kCorrupted);
    if (sp == stack)
        return 0.0;
    return stack[1];

op_const:
    if (sp == limit || !constants)
        return failWith(kCorrupted);
    pending = constants[*pc++];
    TAVLO_DISPATCH_PUSHED();

op_var : {
    const unsigned letter = *pc++ - unsigned('a');
    if (sp == limit || letter >= 26)
        return failWith(kCorrupted);
    pending = param[letter];
    TAVLO_DISPATCH_PUSHED();
}

// After a push: the next instruction either takes the pushed value (`pending`)
// as its right operand b, with `top` as the left one a, or the push is made and
// the next instruction runs as usual, reached by a direct jump. The push was
// checked already; a fused operator needs one value besides the pushed one.
#define TAVLO_PUSH_THEN(label)                                                                     \
    *sp++ = top;                                                                                   \
    top = pending;                                                                                 \
    ++pc;                                                                                          \
    goto label

push_then_end:
    TAVLO_PUSH_THEN(op_end);
push_then_const:
    TAVLO_PUSH_THEN(op_const);
push_then_var:
    TAVLO_PUSH_THEN(op_var);
push_then_call:
    TAVLO_PUSH_THEN(op_call);
push_then_neg:
    TAVLO_PUSH_THEN(op_neg);

#define TAVLO_SAMPLE_ARITHMETIC(code, name, op)                                                    \
    fused_##name : ++pc;                                                                           \
    if (sp == stack)                                                                               \
        return failWith(kCorrupted);                                                               \
    top = top op pending;                                                                          \
    TAVLO_DISPATCH();                                                                              \
    op_##name : if (sp < stack + 2) return failWith(kCorrupted);                                   \
    top = *--sp op top;                                                                            \
    TAVLO_DISPATCH();

    TAVLO_ARITHMETIC(TAVLO_SAMPLE_ARITHMETIC)

fused_pow:
    ++pc;
    if (sp == stack)
        return failWith(kCorrupted);
    top = std::pow(top, pending);
    TAVLO_DISPATCH();

op_pow:
    if (sp < stack + 2)
        return failWith(kCorrupted);
    top = std::pow(*--sp, top);
    TAVLO_DISPATCH();

op_neg:
    if (sp == stack)
        return failWith(kCorrupted);
    top = -top;
    TAVLO_DISPATCH();

op_call : {
    // The row is read now, not at compile time: a redefined row takes effect
    // in formulas compiled before. Its fields are read once, before the call,
    // so a function that redefines its own row cannot unbalance the stack.
    const frow &row = ftable[*pc++];
    const int n = row.n_pars;
    const ffunc func = row.func;
    if (static_cast<unsigned>(n) > 3)
        return failWith(kBadArity);
    // A row deleted after compiling leaves an empty row behind.
    if (!func)
        return failWith(kNoFunction);
    switch (n) {
    case 1:
        if (sp == stack)
            return failWith(kCorrupted);
        top = func(top);
        break;
    case 2:
        if (sp < stack + 2)
            return failWith(kCorrupted);
        --sp;
        top = rowFunc<Func2>(func)(*sp, top);
        break;
    case 3:
        if (sp < stack + 3)
            return failWith(kCorrupted);
        sp -= 2;
        top = rowFunc<Func3>(func)(sp[0], sp[1], top);
        break;
    default:
        if (sp == limit)
            return failWith(kCorrupted);
        *sp++ = top;
        top = rowFunc<Func0>(func)();
        break;
    }
    TAVLO_DISPATCH();
}

op_bad:
    return failWith(kBadOperator);
}

#undef TAVLO_PUSH_THEN
#undef TAVLO_SAMPLE_ARITHMETIC

#if TAVLO_COMPUTED_GOTO
#pragma GCC diagnostic pop
#endif

// ---- Whole curves ----
//
// fval_batch() runs each instruction over a block of samples before the next
// one, so the byte code is decoded once per block instead of once per sample,
// and the arithmetic runs as plain loops the compiler vectorises. The results
// are those of value(): the same IEEE operations on the same operands in the
// same order per sample ('^' and the table's functions as one call per sample),
// and no contraction into fused multiply-adds (-ffp-contract=off for this
// library).
//
// Only code that is known to run cleanly goes this way: a check first walks the
// code as value() would and gives up at anything value() would fail on, and at
// calls whose result may depend on the order of calls (rnd, rows written with
// fnew). Such code runs sample by sample through value() instead, in order, so
// its results, messages and random numbers are exactly fval's.

namespace {

// Samples per block, and the most doubles the block stack may take: 8192
// doubles, 64 KB, whatever the formula. A formula that keeps more than 32
// values pending gets shorter blocks, down to kMinBlock samples for the deepest
// one value() accepts (VALUE_STACK_SIZE).
constexpr int kBlock = 256;
constexpr int kMinBlock = 16;
constexpr int kMaxBlockStack = 8192;
static_assert(VALUE_STACK_SIZE * kMinBlock <= kMaxBlockStack);

// Curves shorter than this run through value(): the check and the loops cost
// more than they save on them (callgrind, bench/eval_icount: at 4 samples per
// call the blocks took up to 10% more instructions per sample than fval, at 8
// they take 11% to 45% fewer).
constexpr int kMinBatch = 8;

// Whether a call of `row` may run over a block: a built-in function that is
// not varying (rnd is), so it has no state for the order of calls to change.
bool blockSafe(const frow &row, int index)
{
    return fbuiltin(index) && !row.varying;
}

// Walks the code as value() would, reading no byte value() would not read.
// Returns the most values the code keeps pending, or 0 when value() would fail
// on it or a call is not blockSafe.
int batchDepth(formu f)
{
    const unsigned char *pc = f.code;
    if (!pc)
        return 0;
    int depth = 0;
    int most = 0;
    for (;;) {
        const unsigned char op = *pc++;
        switch (op) {
        case OP_END:
            return depth == 1 ? most : 0;
        case OP_CONST:
            if (depth == VALUE_STACK_SIZE || !f.ctable)
                return 0;
            ++pc;
            ++depth;
            break;
        case OP_VAR:
            if (depth == VALUE_STACK_SIZE || unsigned(*pc++ - 'a') >= 26)
                return 0;
            ++depth;
            break;
        case OP_CALL: {
            const int index = *pc++;
            const frow &row = ftable[index];
            if (!blockSafe(row, index) || static_cast<unsigned>(row.n_pars) > 3)
                return 0;
            if (row.n_pars == 0) {
                if (depth == VALUE_STACK_SIZE)
                    return 0;
                ++depth;
            } else {
                if (depth < row.n_pars)
                    return 0;
                depth -= row.n_pars - 1;
            }
            break;
        }
        case OP_NEG:
            if (depth < 1)
                return 0;
            break;
        case OP_ADD:
        case OP_SUB:
        case OP_MUL:
        case OP_DIV:
        case OP_POW:
            if (depth < 2)
                return 0;
            --depth;
            break;
        default:
            // Not an instruction, or one this walk does not know: value() decides.
            return 0;
        }
        most = std::max(most, depth);
    }
}

#if defined(__GNUC__)
#define TAVLO_NOINLINE __attribute__((noinline))
#else
#define TAVLO_NOINLINE
#endif

// The block loops are built twice on x86-64 with GCC, for AVX2 and for the
// baseline (SSE2), and the loader picks the one the machine runs.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define TAVLO_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TAVLO_VECTOR_CLONES
#endif

// Runs code that batchDepth() accepted over the samples xs[0..n-1] (n <= the
// block length `stride`), with `stack` holding one block per pending value.
// `letter` is the index of the parameter that takes the samples, or -1.
TAVLO_VECTOR_CLONES
void runBlock(formu f, int letter, const double *xs, double *out, int n, double *stack, int stride)
{
    const unsigned char *pc = f.code;
    const double *const constants = f.ctable;
    const double *const param = engine.param;
    int depth = 0;                                          // values pending
    auto block = [&](int k) { return stack + k * stride; }; // value k from the bottom
    for (;;) {
        const unsigned char op = *pc++;
        if (op == OP_CONST || op == OP_VAR) {
            const unsigned char operand = *pc++;
            const bool samples = op == OP_VAR && operand - 'a' == letter;
            const double c = op == OP_CONST ? constants[operand]
                             : samples      ? 0.0
                                            : param[operand - 'a'];
            const double *__restrict b = xs;
            // A push followed by a two-operand operator: the operator takes the
            // pushed value (one number, or the samples) as its right operand.
            if (depth > 0) {
                double *__restrict a = block(depth - 1);
                switch (*pc) {
#define TAVLO_BLOCK_FUSED(code, name, op)                                                          \
    case code:                                                                                     \
        ++pc;                                                                                      \
        if (samples) {                                                                             \
            for (int i = 0; i < n; ++i)                                                            \
                a[i] = a[i] op b[i];                                                               \
        } else {                                                                                   \
            for (int i = 0; i < n; ++i)                                                            \
                a[i] = a[i] op c;                                                                  \
        }                                                                                          \
        continue;
                    TAVLO_ARITHMETIC(TAVLO_BLOCK_FUSED)
#undef TAVLO_BLOCK_FUSED
                case OP_POW:
                    ++pc;
                    for (int i = 0; i < n; ++i)
                        a[i] = std::pow(a[i], samples ? b[i] : c);
                    continue;
                default:
                    break;
                }
            }
            double *__restrict pushed = block(depth++);
            if (samples) {
                for (int i = 0; i < n; ++i)
                    pushed[i] = b[i];
            } else {
                for (int i = 0; i < n; ++i)
                    pushed[i] = c;
            }
            continue;
        }
        switch (op) {
        case OP_END:
            for (int i = 0; i < n; ++i)
                out[i] = stack[i];
            return;
#define TAVLO_BLOCK_ARITHMETIC(code, name, op)                                                     \
    case code: {                                                                                   \
        double *__restrict a = block(depth - 2);                                                   \
        const double *__restrict b = block(depth - 1);                                             \
        for (int i = 0; i < n; ++i)                                                                \
            a[i] = a[i] op b[i];                                                                   \
        --depth;                                                                                   \
        break;                                                                                     \
    }
            TAVLO_ARITHMETIC(TAVLO_BLOCK_ARITHMETIC)
#undef TAVLO_BLOCK_ARITHMETIC
        case OP_POW: {
            double *a = block(depth - 2);
            const double *b = block(depth - 1);
            for (int i = 0; i < n; ++i)
                a[i] = std::pow(a[i], b[i]);
            --depth;
            break;
        }
        case OP_NEG: {
            double *a = block(depth - 1);
            for (int i = 0; i < n; ++i)
                a[i] = -a[i];
            break;
        }
        case OP_CALL: {
            const frow &row = ftable[*pc++];
            const ffunc func = row.func;
            switch (row.n_pars) {
            case 0: {
                double *a = block(depth++);
                const Func0 f0 = rowFunc<Func0>(func);
                for (int i = 0; i < n; ++i)
                    a[i] = f0();
                break;
            }
            case 1: {
                double *a = block(depth - 1);
                for (int i = 0; i < n; ++i)
                    a[i] = func(a[i]);
                break;
            }
            case 2: {
                double *a = block(depth - 2);
                const double *b = block(depth - 1);
                const Func2 f2 = rowFunc<Func2>(func);
                for (int i = 0; i < n; ++i)
                    a[i] = f2(a[i], b[i]);
                --depth;
                break;
            }
            default: {
                double *a = block(depth - 3);
                const double *b = block(depth - 2);
                const double *c = block(depth - 1);
                const Func3 f3 = rowFunc<Func3>(func);
                for (int i = 0; i < n; ++i)
                    a[i] = f3(a[i], b[i], c[i]);
                depth -= 2;
                break;
            }
            }
            break;
        }
        default:
            // batchDepth() lets no other byte through.
            return;
        }
    }
}

// Runs the curve in blocks when the code allows it (batchDepth) and the block
// stack can be had; returns false, having done nothing, otherwise. Kept out of
// fval_batch() so that short curves do not pay for its registers and frame.
TAVLO_NOINLINE bool runBlocks(formu f, double *p, const double *values, double *results, int count)
{
    const int depth = batchDepth(f);
    if (depth == 0)
        return false;
    // Blocks of a multiple of 8 samples, so that each starts on a cache line.
    const int block = depth * kBlock <= kMaxBlockStack ? kBlock : kMaxBlockStack / depth / 8 * 8;
    const int stride = count >= block ? block : (count + 7) / 8 * 8;
    const int need = depth * stride;
    if (engine.blockStackSize < need) {
        std::free(engine.blockStack);
        engine.blockStack = static_cast<double *>(std::malloc(sizeof(double) * need));
        engine.blockStackSize = engine.blockStack ? need : 0;
        if (!engine.blockStack)
            return false;
    }
    const int letter = p ? int(p - engine.param) : -1;
    for (int left = count; left > 0; left -= stride) {
        const int start = count - left;
        runBlock(f, letter, values + start, results + start, std::min(stride, left),
                 engine.blockStack, stride);
    }
    engine.errmes = nullptr;
    if (p)
        *p = values[count - 1];
    return true;
}

// fval_batch() for two samples and more.
TAVLO_NOINLINE void runCurve(formu f, double *p, const double *values, double *results, int count)
{
    if (count >= kMinBatch && runBlocks(f, p, values, results, count))
        return;
    // Exactly fval(f, {letter, 0}, values[i]), one sample after the other.
    for (int i = 0; i < count; ++i) {
        engine.errmes = nullptr;
        if (p)
            *p = values[i];
        results[i] = value(f);
    }
}

} // namespace

void fval_batch(formu f, char letter, const double *values, double *results, int count)
{
    double *const p = paramFor(letter);
    if (count != 1)
        return runCurve(f, p, values, results, count);
    // One sample as fval() takes it, without the frame and registers of a loop
    // around value(): a curve of one costs what one fval() call does.
    engine.errmes = nullptr;
    if (p)
        *p = *values;
    *results = value(f);
}

double fval(formu f, const char *letters, ...)
{
    engine.errmes = nullptr;
    va_list ap;
    va_start(ap, letters);
    for (const char *l = letters; l && *l; ++l) {
        double v = va_arg(ap, double);
        // Letters outside 'a'..'z' have no parameter; their value is dropped.
        if (double *p = paramFor(*l))
            *p = v;
    }
    va_end(ap);
    return value(f);
}

// The plot's once-per-point call, without the variable argument list. With
// one value there is nothing to give further letters, so they are left alone.
double fval(formu f, const char *letters, double v)
{
    engine.errmes = nullptr;
    if (letters) {
        if (double *p = paramFor(*letters))
            *p = v;
    }
    return value(f);
}

double f_x_val(formu f, double x)
{
    engine.errmes = nullptr;
    engine.param['x' - 'a'] = x;
    return value(f);
}

double fval_at(formu f)
{
    engine.errmes = nullptr;
    return value(f);
}

void make_var(char letter, double v)
{
    if (double *p = paramFor(letter))
        *p = v;
}

void destrf(formu f)
{
    fset_error(nullptr);
    std::free(f.code);
    std::free(f.ctable);
}

void make_empty(formu)
{
    fset_error(nullptr);
}

int fnot_empty(formu f)
{
    fset_error(nullptr);
    return f.code ? 1 : 0;
}

double pi()
{
    return 3.141592653589793;
}
