#pragma once

#include <QString>

// The C library's "%.*g" of a value, always in the C locale. Every number the
// program writes into a field it reads back goes through here, so that what is
// written is what printf would write: ties round to even (1.140625 -> "1.14062"),
// -0 stays "-0", a negative NaN is "-nan".
QString formatNumber(double value, int digits = 6);

// A function's value (double) in the single precision of the plot: as
// round-to-nearest converts it, but defined beyond the float range.
float narrow(double v);

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
