#pragma once

#include <QString>

#include <cfloat>
#include <cmath>

// The C library's "%.*g" of a value, always in the C locale. Every number the
// program writes into a field it reads back goes through here, so that what is
// written is what printf would write: ties round to even (1.140625 -> "1.14062"),
// -0 stays "-0", a negative NaN is "-nan".
QString formatNumber(double value, int digits = 6);

// A function's value (double) in the single precision of the plot: as
// round-to-nearest converts it, but defined beyond the float range. Inline:
// the redraw and the finder narrow every sample.
inline float narrow(double v)
{
    // Up to halfway between FLT_MAX and 2^128 a value becomes FLT_MAX, from
    // there on infinity; NaN and infinities convert as they are.
    const double halfway = double(FLT_MAX) + std::ldexp(1.0, 103); // half the last step
    if (v > double(FLT_MAX))
        return v < halfway ? FLT_MAX : INFINITY;
    if (v < -double(FLT_MAX))
        return v > -halfway ? -FLT_MAX : -INFINITY;
    return float(v);
}

// What a bound or grid text reads as: the formula with x = 1.
struct TextValue
{
    float value = 0;   // 0 when the text is empty or does not compile
    bool ok = true;    // false when the text does not compile
    QString message;   // the engine's message when it does not compile
    int position = -1; // where in the text as typed the engine stopped (from 0), -1 if unknown
};

// Reads a bound or grid text as the fields and tavlo-render take it: a bare pi
// is pi() as in function texts. Reads back every text formatNumber writes.
TextValue readValueText(const QString &text);
