#pragma once

// Tavlo's formula engine: a table of callable functions, a compiler from infix
// text to postfix byte code with constant folding, a stack-machine evaluator
// and the R250 random-number generator behind rnd().
//
// The engine is process-wide and single-threaded: the function table, the last
// error message, the parameter values and the compiler's working state are
// globals. Nothing here throws; failures set a message read with fget_error().

// A compiled formula. Both pointers are null in the empty formula that a failed
// compilation returns. The byte code ends with a 0 byte.
struct formu
{
    unsigned char *code;
    double *ctable;
};

// Op-codes of the byte code. 'D', 'V' and 'F' are followed by one operand byte.
constexpr unsigned char OP_CONST = 'D'; // constant index
constexpr unsigned char OP_VAR = 'V';   // parameter letter
constexpr unsigned char OP_CALL = 'F';  // function-table row
constexpr unsigned char OP_ADD = '+';
constexpr unsigned char OP_SUB = '-';
constexpr unsigned char OP_MUL = '*';
constexpr unsigned char OP_DIV = '/';
constexpr unsigned char OP_POW = '^';
constexpr unsigned char OP_NEG = 'M';
constexpr unsigned char OP_END = 0;

// ---- Function table and error state ----

using ffunc = double (*)(double);

struct frow
{
    const char *name; // built-in rows point at constants; added rows own a heap copy
    ffunc func;       // null marks an empty row, which ends the table
    int n_pars;       // 0..3; func is cast to the matching arity when called
    int varying;      // non-zero: never folded into a constant
};

constexpr int FTABLE_SIZE = 256;
extern frow ftable[FTABLE_SIZE];

void fset_error(const char *msg);
const char *fget_error();
int where_table(const char *name);
int read_table(int i, char *name, int *n_pars, int *varying);
int fnew(const char *name, ffunc func, int n_pars, int varying);
int fdel(const char *name);
// 1 while row `row` holds the built-in function it starts with (rows 0..12), else 0.
int fbuiltin(int row);

// ---- Compiler ----

formu translate(const char *source, const char *args, int *length, int *error);
unsigned char *i_trans(unsigned char *function, char *begin, char *end);
unsigned char *comp_time(unsigned char *function, unsigned char *fend, int npars);
int max_size(const char *text);
char *my_strtok(char *s);
int isoper(char c);
int is_code_oper(unsigned char c);
int isin_real(char c);

// ---- Evaluator ----

constexpr int VALUE_STACK_SIZE = 500;

double value(formu f);
double fval(formu f, const char *letters, ...);
// fval with exactly one value: fval(f, "x", 2.5) calls this one, which skips
// the variable argument list. Letters after the first get no value.
double fval(formu f, const char *letters, double v);
double f_x_val(formu f, double x);
double fval_at(formu f);
// A whole curve in one call: results[i] is fval(f, {letter, 0}, values[i]) for i
// in 0..count-1, bit for bit (any NaN where fval gives a NaN), and the message and
// parameter `letter` end as after the last of those calls. values and results may
// be the same array.
void fval_batch(formu f, char letter, const double *values, double *results, int count);
void make_var(char letter, double v);
void destrf(formu f);
void make_empty(formu f);
int fnot_empty(formu f);
double pi();

// ---- Random numbers ----

double rnd();
double dr250();
void r250_init(int s);
void rnd_init();
int myrand();
void mysrand(unsigned int s);
