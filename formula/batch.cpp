#include "formula/formula.h"
#include "formula/bytecode.h"
#include "formula/engine_state.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

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
    for (;; pc += instructionLength(*pc)) {
        const StackEffect effect = stackEffect(pc);
        if (*pc == OP_END)
            return depth == 1 ? most : 0;
        // Not an instruction: value() decides.
        if (!effect.known)
            return 0;
        if (*pc == OP_CONST && !f.ctable)
            return 0;
        if (*pc == OP_VAR && unsigned(pc[1] - 'a') >= 26)
            return 0;
        if (*pc == OP_CALL &&
            (!blockSafe(ftable[pc[1]], pc[1]) || static_cast<unsigned>(effect.takes) > 3))
            return 0;
        if (depth < effect.takes || depth - effect.takes + effect.leaves > VALUE_STACK_SIZE)
            return 0;
        depth += effect.leaves - effect.takes;
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
                a[i] = op(a[i], b[i]);                                                             \
        } else {                                                                                   \
            for (int i = 0; i < n; ++i)                                                            \
                a[i] = op(a[i], c);                                                                \
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
            a[i] = op(a[i], b[i]);                                                                 \
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
    double *const p = parameterOf(letter);
    if (count != 1)
        return runCurve(f, p, values, results, count);
    // One sample as fval() takes it, without the frame and registers of a loop
    // around value(): a curve of one costs what one fval() call does.
    engine.errmes = nullptr;
    if (p)
        *p = *values;
    *results = value(f);
}
