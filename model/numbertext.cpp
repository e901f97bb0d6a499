#include "model/numbertext.h"

#include <clocale>
#include <cstdio>
#include <locale.h>

QString formatNumber(double value, int digits)
{
    // snprintf follows the thread's locale; switch to "C" just for this call
    // so a German desktop cannot turn the decimal point into a comma.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const locale_t previous = uselocale(cLocale);
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    uselocale(previous);
    return QString::fromLatin1(text);
}
