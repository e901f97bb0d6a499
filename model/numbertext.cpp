#include "model/numbertext.h"

#include "formula/formula.h"

#include <QByteArray>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale.h>
#include <vector>

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

TextValue readValueText(const QString &text)
{
    TextValue result;
    if (text.isEmpty())
        return result;
    QByteArray source = text.toLatin1();
    // A bare pi reads as pi(), as in function texts ("-2*pi" is -2 pi). Where
    // the engine stops is counted in the text as typed: `typedAt` maps back.
    std::vector<int> inserted; // where in `source` each "()" was put
    for (qsizetype i = 0; i + 1 < source.size(); ++i) {
        if (source[i] == 'p' && source[i + 1] == 'i' &&
            (i + 2 == source.size() || source[i + 2] != '(')) {
            source.insert(i + 2, "()");
            inserted.push_back(int(i + 2));
        }
    }
    auto typedAt = [&inserted](int position) {
        int shift = 0;
        for (int at : inserted)
            shift += position >= at ? std::min(position - at, 2) : 0;
        return position - shift;
    };
    // The exponent of a number may be written with a small e, as the C library
    // writes it ("7.99997e-05", "1e+06"); the engine takes only E. Elsewhere an
    // e stays the letter it is.
    auto digit = [&source](qsizetype k) {
        return k >= 0 && k < source.size() && source[k] >= '0' && source[k] <= '9';
    };
    for (qsizetype i = 0; i < source.size(); ++i) {
        if (source[i] != 'e')
            continue;
        qsizetype start = i;
        bool mantissaDigit = false;
        while (start > 0 && (digit(start - 1) || source[start - 1] == '.')) {
            mantissaDigit = mantissaDigit || digit(start - 1);
            --start;
        }
        const char before = start > 0 ? source[start - 1] : ' ';
        const bool inName = (before >= 'a' && before <= 'z') || (before >= 'A' && before <= 'Z');
        const qsizetype exponent =
            i + 1 < source.size() && (source[i + 1] == '+' || source[i + 1] == '-') ? i + 2 : i + 1;
        if (mantissaDigit && !inName && digit(exponent))
            source[i] = 'E';
    }
    int length = 0;
    int error = -1;
    const formu f = translate(source.constData(), "x", &length, &error);
    if (!f.code) {
        const char *message = fget_error();
        result.ok = false;
        result.message = QString::fromLatin1(message ? message : "does not compile").trimmed();
        result.position = error >= 0 && error <= source.size() ? typedAt(error) : -1;
    }
    result.value = narrow(fval(f, "x", 1.0));
    destrf(f);
    return result;
}
