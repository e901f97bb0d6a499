#include "formula/formula.h"
#include "formula/bytecode.h"
#include "formula/engine_state.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>

namespace {

const char kEmptyFormula[] = "empty coded function";
const char kBadOperator[] = "I1: unrecognizable operator";
const char kBadArity[] = "I2: too many parameters\n";
const char kCorrupted[] = "I3: corrupted buffer";
const char kNoFunction[] = "function not found";

double failWith(const char *msg)
{
    fset_error(msg);
    return 0.0;
}

} // namespace

double *parameterOf(char letter)
{
    if (letter < 'a' || letter > 'z')
        return nullptr;
    return &engine.param[letter - 'a'];
}

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
    top = op(top, pending);                                                                        \
    TAVLO_DISPATCH();                                                                              \
    op_##name : if (sp < stack + 2) return failWith(kCorrupted);                                   \
    top = op(*--sp, top);                                                                          \
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

double fval(formu f, const char *letters, ...)
{
    engine.errmes = nullptr;
    va_list ap;
    va_start(ap, letters);
    for (const char *l = letters; l && *l; ++l) {
        double v = va_arg(ap, double);
        // Letters outside 'a'..'z' have no parameter; their value is dropped.
        if (double *p = parameterOf(*l))
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
        if (double *p = parameterOf(*letters))
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
    if (double *p = parameterOf(letter))
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
