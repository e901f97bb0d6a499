#pragma once

#include <QString>

// The C library's "%.*g" of a value, always in the C locale. Every number the
// program writes into a field it reads back goes through here, so that what is
// written is what printf would write: ties round to even (1.140625 -> "1.14062"),
// -0 stays "-0", a negative NaN is "-nan".
QString formatNumber(double value, int digits = 6);
