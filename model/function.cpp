#include "model/function.h"

#include <QDataStream>
#include <QDebug>

#include <algorithm>
#include <vector>

namespace {

// References are expanded only while the prepared text stays below this length:
// a chain like f(2) = 'f(1)+f(1)', f(3) = 'f(2)+f(2)', ... doubles at every step
// and would otherwise exhaust memory. A reference left unexpanded fails to compile.
constexpr int kMaxPreparedLength = 4096;

} // namespace

Function::Function(int newId, QString text, char var, QColor c, Function *head)
    : listHead(head)
{
    setId(newId);
    setEquality(1);
    setIndepVariable(var);
    setColor(c);
    setNextFunction(nullptr);
    setPrevFunction(nullptr);
    // Compiling may look up other records through listHead, so it comes last.
    setString(std::move(text));
    setEnabled(true);
}

Function::~Function()
{
    destrf(formula);
}

void Function::setString(QString text)
{
    string = std::move(text);
    parse();
}

QString Function::getOtherString(int otherId) const
{
    const Function *f = listHead ? listHead : this;
    while (f->prevFunction)
        f = f->prevFunction;
    for (; f; f = f->nextFunction) {
        if (f->id == otherId)
            return f->string;
    }
    return QStringLiteral("Err");
}

QString Function::stringInsert(QString &text, const char *insert, int pos, int len)
{
    QString result = text;
    result.replace(pos, len, QLatin1Char('(') + QString::fromLatin1(insert) + QLatin1Char(')'));
    return result;
}

// Rewrites what users type but the compiler does not take ('x**2', '2*pi') and
// expands references f(n) to the text of function n, scanning on through the
// inserted text so that nested references are expanded too. Compiles the result
// and leaves `string` as typed.
void Function::parse()
{
    const QString typed = string;
    QString s = string;

    // Expansions the scan is still inside: a reference back to one of them
    // (1 -> 2 -> 1, or 1 -> 2 -> 3 -> 2) is left as it stands, so the chain ends.
    struct Expansion
    {
        int id;
        int end; // one past the inserted "(...)"
    };
    std::vector<Expansion> open;

    auto at = [&s](int k) { return k < s.size() ? s.at(k) : QChar(); };
    auto replace = [&](int pos, int len, const QString &with) {
        const int delta = int(with.size()) - len;
        s.replace(pos, len, with);
        for (Expansion &e : open) {
            if (e.end > pos)
                e.end += delta;
        }
        string = s;
    };

    for (int i = 0; i < s.size(); ++i) {
        const char16_t ch = s.at(i).unicode();
        if (ch == 0 || ch > 0xFF)
            break;
        open.erase(std::remove_if(open.begin(), open.end(),
                                  [i](const Expansion &e) { return e.end <= i; }),
                   open.end());

        if (at(i) == QLatin1Char('*') && at(i + 1) == QLatin1Char('*'))
            replace(i, 2, QStringLiteral("^ "));

        // A typed "pi()" already has its parentheses.
        if (at(i) == QLatin1Char('p') && at(i + 1) == QLatin1Char('i') &&
            at(i + 2) != QLatin1Char('('))
            replace(i + 2, 0, QStringLiteral("()"));

        if (at(i) == QLatin1Char('f') && at(i + 1) == QLatin1Char('(')) {
            const int close = int(s.indexOf(QLatin1Char(')'), i + 2));
            const int refEnd = close < 0 ? int(s.size()) : close;
            const QString ref = s.mid(i + 2, refEnd - (i + 2));
            bool ok = false;
            int n = ref.toInt(&ok);
            if (!ok)
                n = 0;
            qDebug("insFuncString: %s", qPrintable(ref));
            qDebug("insFuncNumber: %d", n);

            const bool inside = std::any_of(open.begin(), open.end(),
                                            [n](const Expansion &e) { return e.id == n; });
            if (n != id && !inside) {
                const int len = (close < 0 ? int(s.size()) : close + 1) - i;
                const QByteArray other = getOtherString(n).toLatin1();
                const int delta = int(other.size()) + 2 - len;
                if (s.size() + delta <= kMaxPreparedLength) {
                    replace(i, len, stringInsert(s, other.constData(), i, len).mid(i, len + delta));
                    open.push_back({n, i + int(other.size()) + 2});
                }
            }
        }
    }

    makeFormula();
    string = typed;
}

void Function::makeFormula()
{
    if (string.isEmpty())
        return;
    // Released first: destrf clears the engine's message, which must survive
    // a failed compilation for the caller to read.
    destrf(formula);
    formula = {nullptr, nullptr};
    const QByteArray text = string.toLatin1();
    int length = 0;
    int error = -1;
    formula = translate(text.constData(), indepVariable == 'x' ? "x" : "y", &length, &error);
}

double Function::evaluate(double v) const
{
    if (string.isEmpty())
        return 0.0;
    return fval(formula, indepVariable == 'x' ? "x" : "y", v);
}

void Function::evaluateBatch(const double *values, double *results, int count) const
{
    if (string.isEmpty()) {
        std::fill(results, results + std::max(count, 0), 0.0);
        return;
    }
    fval_batch(formula, indepVariable == 'x' ? 'x' : 'y', values, results, count);
}

QDataStream &operator<<(QDataStream &stream, const Function &f)
{
    // The colour goes out as one 0xAARRGGBB word (opaque), whatever QColor's own
    // stream format is in this Qt version: the file format fixes it.
    const quint32 rgb = 0xFF000000u | (quint32(f.getColor().rgb()) & 0x00FFFFFFu);
    stream << qint32(f.getId()) << qint32(f.getEquality()) << f.getString() << rgb
           << qint32(f.getEnabled() ? 1 : 0) << QString(QLatin1Char(f.getIndepVariable()));
    return stream;
}
