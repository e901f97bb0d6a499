// Prints one line per case: the compiled code, constants and error of a formula
// and a hash of its values over many points; a hash of the value and message of
// pseudo-random byte code; a hash of the pixels of many redraws. Two builds that
// must give identical results (before and after an optimisation) must print the
// same lines:
//
//   tavlo_digest > before.txt   ...   tavlo_digest | diff before.txt -

#include "formula/formula.h"
#include "formula/bytecode.h"
#include "plot/graphwidget.h"

#include <QApplication>
#include <QImage>
#include <QRect>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Hash
{
    std::uint64_t h = 1469598103934665603ull;
    void bytes(const void *p, std::size_t n)
    {
        const auto *b = static_cast<const unsigned char *>(p);
        for (std::size_t i = 0; i < n; ++i)
            h = (h ^ b[i]) * 1099511628211ull;
    }
    // Which NaN an operation passes on is left to the machine and the build, so
    // every NaN counts as the same value.
    void number(double v)
    {
        if (std::isnan(v))
            v = std::numeric_limits<double>::quiet_NaN();
        bytes(&v, sizeof v);
    }
    void text(const char *s)
    {
        if (s)
            bytes(s, std::strlen(s) + 1);
        else
            bytes("", 1);
    }
};

const char *const kFormulas[] = {
    "3*x^2+2*x+1",
    "sin(x)*cos(x)",
    "exp(-x*x/2)/sqrt(2*pi())",
    "atan2(sin(x),cos(x))+abs(x)",
    "((x+1)*(x-1))/(x*x+1)",
    "x+1.5*x^2-2*x^3+0.5*x^4-0.25*x^5+3*x^6-1.25*x^7+0.75*x^8-0.1*x^9+0.2*x^10-0.3*x^11+0.05*x^"
    "12-0.02*x^13+0.01*x^14-0.005*x^15+0.002*x^16-0.001*x^17+0.0005*x^18-0.0002*x^19+0.0001*x^20",
    "tan(x)",
    "2*3*4+x",
    "x^x",
    "-x^2",
    "-2^0.5",
    "2^3^2",
    "x^-1",
    "x^(-1)",
    "1/x",
    "ln(x)",
    "ln(0)",
    "sqrt(-1)+x",
    "asin(x)+acos(x/2)+atan(x)",
    "x-x-x-x",
    "x/x/x",
    "1E-3*x",
    "1e-3*x",
    "2x",
    "+x",
    "x*",
    "((x)",
    "x)",
    "sin( -x)",
    "sin(- x)",
    "pi",
    "pi(1)",
    "atan2(1)",
    "atan2(1,2,3)",
    "sin(1,)",
    "Sin(x)",
    "rnd()*0",
    "exp(exp(exp(x)))",
    "x^0.5^2",
    "(((((((((((x)))))))))))",
    "-(-(-(-x)))",
    "abs(x)^abs(x)",
    "  x  +  1  ",
    "0/0+x",
    "1/(x-x)",
    "x*1E308*10",
    "sin(sin(sin(sin(sin(x)))))",
    "atan2(x,x^2)*sqrt(abs(x))"};

void formulaDigests()
{
    std::vector<double> xs;
    for (int i = 0; i <= 2000; ++i)
        xs.push_back(-50.0 + 0.05 * i);
    const double specials[] = {0.0,
                               -0.0,
                               1e-300,
                               -1e-300,
                               1e300,
                               -1e300,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(),
                               0.5,
                               -0.5,
                               2.0};
    xs.insert(xs.end(), std::begin(specials), std::end(specials));

    for (const char *text : kFormulas) {
        int length = -2, error = -2;
        const formu f = translate(text, "x", &length, &error);
        Hash h;
        h.text(fget_error());
        std::printf("formula %-40.40s len %d err %d msg \"%s\"", text, length, error,
                    fget_error() ? fget_error() : "");
        if (f.code) {
            std::printf(" code");
            for (int i = 0; i < length; ++i)
                std::printf(" %02x", f.code[i]);
            std::printf(" consts");
            for (int i = 0; i < length; i += instructionLength(f.code[i])) {
                if (f.code[i] == OP_CONST) {
                    double c = f.ctable[f.code[i + 1]];
                    std::uint64_t bits;
                    std::memcpy(&bits, &c, sizeof bits);
                    std::printf(" %016llx", static_cast<unsigned long long>(bits));
                }
            }
        }
        if (std::strcmp(text, "rnd()*0") != 0) {
            for (double x : xs) {
                h.number(fval(f, "x", x));
                h.text(fget_error());
                make_var('x', x);
                h.number(value(f));
            }
        }
        std::printf(" values %016llx\n", static_cast<unsigned long long>(h.h));
        destrf(f);
    }
}

// Byte code that did not come from the compiler: mostly valid instructions in
// random order, some stray bytes, at lengths up to far beyond the stack's size.
void randomCodeDigests()
{
    static const unsigned char ops[] = {'D', 'V', 'F', '+', '-', '*', '/', '^', 'M', 'D', 'V'};
    double table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = (i - 128) * 0.37;
    std::uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    make_var('x', 1.25);
    make_var('y', -3.5);
    Hash total;
    for (int round = 0; round < 20000; ++round) {
        const int length = round % 50 == 0 ? 1200 + int(next() % 800) : int(next() % 40);
        std::vector<unsigned char> code;
        while (int(code.size()) < length) {
            unsigned char op = next() % 16 == 0 ? static_cast<unsigned char>(next() % 256)
                                                : ops[next() % sizeof ops];
            code.push_back(op);
            if (op == 'D' || op == 'V' || op == 'F') {
                unsigned char arg = static_cast<unsigned char>(next() % 256);
                if (op == 'V' && next() % 4)
                    arg = static_cast<unsigned char>('a' + next() % 26);
                if (op == 'F' && next() % 4)
                    arg = static_cast<unsigned char>(next() % 12);
                if (op == 'F' && arg == 12)
                    arg = 13; // rnd() would make the digest differ from run to run
                code.push_back(arg);
            }
        }
        // Long runs of pushes, to reach the stack's limit.
        if (round % 50 == 25) {
            code.clear();
            const int pushes = 480 + int(next() % 40);
            for (int i = 0; i < pushes; ++i) {
                code.push_back('D');
                code.push_back(static_cast<unsigned char>(i));
            }
            for (int i = 0; i + 1 < pushes; ++i)
                code.push_back('+');
        }
        code.push_back(0);
        fset_error(nullptr);
        total.number(value(formu{code.data(), table}));
        total.text(fget_error());
    }
    std::printf("random byte code %016llx\n", static_cast<unsigned long long>(total.h));
}

void renderDigests()
{
    struct Set
    {
        const char *name;
        std::vector<const char *> texts;
    };
    const Set sets[] = {
        {"smooth", {"sin(x)*5", "x^2/4-5", "atan(x)*5", "x^3/50", "cos(3*x)*x"}},
        {"wild", {"tan(x)", "1/x", "ln(abs(x))", "exp(x)", "sqrt(x)", "1/(x-x)", "0/0", "-1/x^2"}},
        {"steep", {"x*1000", "-x*1E30", "sin(x*50)*20", "x^20", "1E308*x*10"}},
    };
    const char *const bounds[][4] = {{"-10", "10", "-10", "10"},
                                     {"-2*pi()", "2*pi()", "-2", "2"},
                                     {"5", "15", "-1", "3"},
                                     {"-1000", "1000", "-5", "5"},
                                     {"-0.01", "0.01", "-1E-4", "1E-4"},
                                     {"3", "3", "-1", "1"},
                                     {"-1E30", "1E30", "-1E30", "1E30"},
                                     {"10", "-10", "10", "-10"}};
    const QRect sizes[] = {QRect(0, 0, 232, 216), QRect(0, 0, 400, 100)};
    for (const QRect &size : sizes) {
        for (const Set &set : sets) {
            for (char var : {'x', 'y'}) {
                for (int step : {1, 2, 4, 7}) {
                    for (bool grid : {true, false}) {
                        auto w = std::make_unique<GraphWidget>(nullptr, "graph");
                        w->setGeometry(size);
                        w->setXStep(step);
                        w->setYStep(step);
                        if (!grid)
                            w->toggle_grid();
                        int id = 0;
                        for (const char *t : set.texts) {
                            QString text = QString::fromLatin1(t);
                            if (var == 'y')
                                text.replace(QLatin1Char('x'), QLatin1Char('y'));
                            w->addFunction(id, text, var, QColor::fromHsv(id * 53 % 360, 255, 180));
                            ++id;
                        }
                        for (const auto &b : bounds) {
                            w->change_x_min(QString::fromLatin1(b[0]));
                            w->change_x_max(QString::fromLatin1(b[1]));
                            w->change_y_min(QString::fromLatin1(b[2]));
                            w->change_y_max(QString::fromLatin1(b[3]));
                            w->drawGraph();
                            const QImage &img = w->picture();
                            Hash h;
                            for (int y = 0; y < img.height(); ++y)
                                h.bytes(img.constScanLine(y), std::size_t(img.width()) * 4);
                            std::printf("render %dx%d %s %c step %d grid %d bounds %s..%s %s..%s "
                                        "%016llx\n",
                                        size.width(), size.height(), set.name, var, step, grid,
                                        b[0], b[1], b[2], b[3],
                                        static_cast<unsigned long long>(h.h));
                        }
                    }
                }
            }
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    formulaDigests();
    randomCodeDigests();
    renderDigests();
    return 0;
}
