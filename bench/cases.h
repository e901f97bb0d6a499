#pragma once

// The eight formulas the engine is measured on, each in our syntax, in
// muparser's and as the same arithmetic written in C++ (std::pow for '^', so
// that the values agree bit for bit with ours).

#include "formula/formula.h"
#include "formula/bytecode.h"

#include <cmath>
#include <vector>

namespace cases {

constexpr int kSamples = 233;

struct Case
{
    const char *name;
    const char *text;     // ours
    const char *muparser; // the same computation in muparser's syntax
    double (*cpp)(double);
    double (*calls)(double); // cpp making the same library calls as our byte code
};

inline double e1(double x)
{
    return 3 * std::pow(x, 2.0) + 2 * x + 1;
}
inline double e2(double x)
{
    return std::sin(x) * std::cos(x);
}
inline double e3(double x)
{
    return std::exp(-x * x / 2) / std::sqrt(2 * 3.141592653589793);
}
inline double e4(double x)
{
    return std::atan2(std::sin(x), std::cos(x)) + std::fabs(x);
}
inline double e5(double x)
{
    return ((x + 1) * (x - 1)) / (x * x + 1);
}
// E6 with the power function given: std::pow for plain C++, the library's pow
// through a pointer for the same-calls version.
template<class Pow>
inline double polynomial20(double x, Pow pow)
{
    return x + 1.5 * pow(x, 2.0) - 2 * pow(x, 3.0) + 0.5 * pow(x, 4.0) - 0.25 * pow(x, 5.0) +
           3 * pow(x, 6.0) - 1.25 * pow(x, 7.0) + 0.75 * pow(x, 8.0) - 0.1 * pow(x, 9.0) +
           0.2 * pow(x, 10.0) - 0.3 * pow(x, 11.0) + 0.05 * pow(x, 12.0) - 0.02 * pow(x, 13.0) +
           0.01 * pow(x, 14.0) - 0.005 * pow(x, 15.0) + 0.002 * pow(x, 16.0) -
           0.001 * pow(x, 17.0) + 0.0005 * pow(x, 18.0) - 0.0002 * pow(x, 19.0) +
           0.0001 * pow(x, 20.0);
}
inline double e6(double x)
{
    return polynomial20(x, [](double a, double b) { return std::pow(a, b); });
}
inline double e7(double x)
{
    return std::tan(x);
}
inline double e8(double x)
{
    return 2 * 3 * 4 + x;
}

// The library functions through pointers the compiler cannot see through: so it
// neither joins sin(x) and cos(x) into one sincos call nor turns pow(x, 2.0)
// into x*x, and the code makes the calls our byte code makes.
inline double (*volatile callSin)(double) = ::sin;
inline double (*volatile callCos)(double) = ::cos;
inline double (*volatile callTan)(double) = ::tan;
inline double (*volatile callExp)(double) = ::exp;
inline double (*volatile callAtan2)(double, double) = ::atan2;
inline double (*volatile callPow)(double, double) = ::pow;

inline double c1(double x)
{
    return 3 * callPow(x, 2.0) + 2 * x + 1;
}
inline double c2(double x)
{
    return callSin(x) * callCos(x);
}
inline double c3(double x)
{
    return callExp(-x * x / 2) / 2.5066282746310002; // sqrt(2 * pi), folded as ours is
}
inline double c4(double x)
{
    return callAtan2(callSin(x), callCos(x)) + std::fabs(x);
}
inline double c6(double x)
{
    return polynomial20(x, static_cast<double (*)(double, double)>(callPow));
}
inline double c7(double x)
{
    return callTan(x);
}

#define TAVLO_E6_TEXT                                                                              \
    "x+1.5*x^2-2*x^3+0.5*x^4-0.25*x^5+3*x^6-1.25*x^7+0.75*x^8-0.1*x^9+0.2*x^10-0.3*x^11+0.05*x^"   \
    "12-0.02*x^13+0.01*x^14-0.005*x^15+0.002*x^16-0.001*x^17+0.0005*x^18-0.0002*x^19+0.0001*x^20"

// No formula chains '^', so muparser's right-associative '^' computes the same.
// pi() is written out: muparser's own _pi here is 3.141592653589, which moves
// E3 by some 1000 ulps.
inline const Case kCases[] = {
    {"E1", "3*x^2+2*x+1", "3*x^2+2*x+1", e1, c1},
    {"E2", "sin(x)*cos(x)", "sin(x)*cos(x)", e2, c2},
    {"E3", "exp(-x*x/2)/sqrt(2*pi())", "exp(-x*x/2)/sqrt(2*3.141592653589793)", e3, c3},
    {"E4", "atan2(sin(x),cos(x))+abs(x)", "atan2(sin(x),cos(x))+abs(x)", e4, c4},
    {"E5", "((x+1)*(x-1))/(x*x+1)", "((x+1)*(x-1))/(x*x+1)", e5, e5},
    {"E6", TAVLO_E6_TEXT, TAVLO_E6_TEXT, e6, c6},
    {"E7", "tan(x)", "tan(x)", e7, c7},
    {"E8", "2*3*4+x", "2*3*4+x", e8, e8},
};

// x from -5 to 6 over the samples of a curve.
inline std::vector<double> samples()
{
    std::vector<double> xs(kSamples);
    for (int i = 0; i < kSamples; ++i)
        xs[i] = -5.0 + 11.0 * i / (kSamples - 1);
    return xs;
}

// Number of byte-code instructions (not bytes) of compiled code.
inline int instructionCount(const unsigned char *code)
{
    int n = 0;
    for (const unsigned char *p = code; p && *p; ++n)
        p += instructionLength(*p);
    return n;
}

} // namespace cases
