#include "formula/formula.h"
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

// Byte code may come from anywhere, so every push and pop is checked: a fault
// sets "I3: corrupted buffer" and yields 0.0 instead of touching memory outside
// the stack. Compiled code never trips these checks (translate refuses code
// that needs more than VALUE_STACK_SIZE values).
double value(formu f)
{
    if (!f.code)
        return failWith(kEmptyFormula);

    double stack[VALUE_STACK_SIZE];
    int sp = 0; // values on the stack
    const unsigned char *pc = f.code;
    for (;;) {
        unsigned char op = *pc++;
        switch (op) {
        case OP_END:
            if (sp != 1) {
                fset_error(kCorrupted);
                if (sp == 0)
                    return 0.0;
            }
            return stack[0];
        case OP_CONST:
            if (sp == VALUE_STACK_SIZE || !f.ctable)
                return failWith(kCorrupted);
            stack[sp++] = f.ctable[*pc++];
            break;
        case OP_VAR: {
            const double *p = paramFor(static_cast<char>(*pc++));
            if (sp == VALUE_STACK_SIZE || !p)
                return failWith(kCorrupted);
            stack[sp++] = *p;
            break;
        }
        case OP_ADD:
        case OP_SUB:
        case OP_MUL:
        case OP_DIV:
        case OP_POW: {
            if (sp < 2)
                return failWith(kCorrupted);
            double b = stack[--sp];
            double &a = stack[sp - 1];
            switch (op) {
            case OP_ADD:
                a = a + b;
                break;
            case OP_SUB:
                a = a - b;
                break;
            case OP_MUL:
                a = a * b;
                break;
            case OP_DIV:
                a = a / b;
                break;
            default:
                a = std::pow(a, b);
                break;
            }
            break;
        }
        case OP_NEG:
            if (sp < 1)
                return failWith(kCorrupted);
            stack[sp - 1] = -stack[sp - 1];
            break;
        case OP_CALL: {
            // The row is read now, not at compile time: a redefined row takes effect
            // in formulas compiled before.
            const frow &row = ftable[*pc++];
            if (static_cast<unsigned>(row.n_pars) > 3)
                return failWith(kBadArity);
            // A row deleted after compiling leaves an empty row behind.
            if (!row.func)
                return failWith(kNoFunction);
            if (sp < row.n_pars || (row.n_pars == 0 && sp == VALUE_STACK_SIZE))
                return failWith(kCorrupted);
            double r;
            switch (row.n_pars) {
            case 0:
                r = rowFunc<Func0>(row.func)();
                break;
            case 1:
                r = row.func(stack[sp - 1]);
                break;
            case 2:
                r = rowFunc<Func2>(row.func)(stack[sp - 2], stack[sp - 1]);
                break;
            default:
                r = rowFunc<Func3>(row.func)(stack[sp - 3], stack[sp - 2], stack[sp - 1]);
                break;
            }
            sp -= row.n_pars;
            stack[sp++] = r;
            break;
        }
        default:
            return failWith(kBadOperator);
        }
    }
}

double fval(formu f, const char *letters, ...)
{
    fset_error(nullptr);
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

double f_x_val(formu f, double x)
{
    fset_error(nullptr);
    engine.param['x' - 'a'] = x;
    return value(f);
}

double fval_at(formu f)
{
    fset_error(nullptr);
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
