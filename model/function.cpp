#include "model/function.h"

#include <QDataStream>
#include <QDebug>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// References are expanded while the prepared text stays within the compiler's
// own text limit; a reference that would take it beyond is left as it stands
// and fails to compile. A chain like f(2) = 'f(1)+f(1)', f(3) = 'f(2)+f(2)', ...
// doubles at every step: this is where it ends.
constexpr qsizetype kMaxPreparedLength = 1000000;

// All the text that references insert in one preparation. What a reference
// inserts normally stays, within the length above; but one whose ')' lies far
// on replaces everything up to there, so unclosed references could insert and
// replace again and again far beyond that length. This bounds their work.
constexpr qsizetype kMaxInserted = 4 * kMaxPreparedLength;

// A reference text that cannot name a number is written to the debug output
// only this far, so that a long run of unclosed "f(" costs linear time.
constexpr qsizetype kMaxShownReference = 100;

// The text under preparation, split at the scan position: `passed` holds what
// the scan has left behind, which no rewrite touches again, and `ahead` the
// rest in reverse order, so that a rewrite at the scan position costs only the
// characters it changes however long the text grows. `closes` lists where in
// `ahead` the ')' are, so that the end of a reference is found at once.
class ScanText
{
public:
    explicit ScanText(const QString &text)
    {
        ahead.reserve(size_t(text.size()));
        for (qsizetype k = text.size(); k > 0; --k)
            push(text.at(k - 1).unicode());
    }

    qsizetype size() const { return qsizetype(passed.size() + ahead.size()); }
    qsizetype remaining() const { return qsizetype(ahead.size()); }

    // The character k places ahead of the scan position; NUL past the end.
    QChar at(qsizetype k) const
    {
        return k < remaining() ? QChar(ahead[ahead.size() - 1 - size_t(k)]) : QChar();
    }

    // How many places ahead the next ')' is, or -1.
    qsizetype nextClose() const
    {
        return closes.empty() ? -1 : qsizetype(ahead.size() - 1 - closes.back());
    }

    // The characters from `from` up to (not including) `to` places ahead.
    QString mid(qsizetype from, qsizetype to) const
    {
        QString text;
        text.reserve(to - from);
        for (qsizetype k = from; k < to; ++k)
            text += at(k);
        return text;
    }

    // Replaces the `len` characters starting `from` places ahead by `with`.
    void replace(qsizetype from, qsizetype len, const QString &with)
    {
        const QString before = mid(0, from);
        for (qsizetype k = 0; k < from + len; ++k)
            pop();
        for (qsizetype k = with.size(); k > 0; --k)
            push(with.at(k - 1).unicode());
        for (qsizetype k = before.size(); k > 0; --k)
            push(before.at(k - 1).unicode());
    }

    void advance() { passed.push_back(pop()); }

    // The whole text, passed and ahead.
    QString text() const
    {
        return QString::fromUtf16(passed.data(), qsizetype(passed.size())) + mid(0, remaining());
    }

private:
    void push(char16_t c)
    {
        if (c == u')')
            closes.push_back(ahead.size());
        ahead.push_back(c);
    }
    char16_t pop()
    {
        const char16_t c = ahead.back();
        ahead.pop_back();
        if (!closes.empty() && closes.back() == ahead.size())
            closes.pop_back();
        return c;
    }

    std::u16string passed;
    std::vector<char16_t> ahead;
    std::vector<size_t> closes;
};

// What QString::toInt can accept before a NUL (and a little more).
bool numberChar(QChar c)
{
    return c.isSpace() || c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-');
}

bool referenceAhead(const ScanText &s)
{
    return s.at(0) == QLatin1Char('f') && s.at(1) == QLatin1Char('(');
}

// A reference "f(n)" at the scan position, as preparation reads it.
struct Reference
{
    qsizetype length;  // from the 'f' through its ')', or to the end when unclosed
    qsizetype textEnd; // where its number ends (places ahead), when it is one
    int n;             // 0 when its text is not a number
    bool number;       // whether its text reads as a number
    QString shown;     // its text as the debug line writes it
};

Reference readReference(const ScanText &s)
{
    const qsizetype close = s.nextClose();
    const qsizetype refEnd = close < 0 ? s.remaining() : close;
    // The reference text as toInt and the debug line read it: up to a NUL.
    qsizetype k = 2;
    while (k < refEnd && s.at(k) != QChar() && numberChar(s.at(k)))
        ++k;
    const bool numeric = k == refEnd || s.at(k) == QChar();
    Reference r{close < 0 ? s.remaining() : close + 1, k, 0, false, QString()};
    r.shown = s.mid(2, numeric ? k : std::min(refEnd, 2 + kMaxShownReference));
    if (numeric)
        r.n = r.shown.toInt(&r.number);
    if (!r.number)
        r.n = 0;
    if (!numeric && refEnd - 2 > kMaxShownReference && !r.shown.contains(QChar()))
        r.shown += QStringLiteral("...");
    return r;
}

// Where the scan of a text ends: at a NUL or at a character outside Latin-1.
bool scanEnds(const ScanText &s)
{
    const char16_t ch = s.at(0).unicode();
    return ch == 0 || ch > 0xFF;
}

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
    prepare(true);
}

void Function::setStringQuietly(QString text)
{
    string = std::move(text);
    prepare(false);
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

bool Function::refersTo(int otherId) const
{
    return std::binary_search(references.begin(), references.end(), otherId);
}

QString Function::renumberReferences(const QString &text, int ownId, const QHash<int, int> &newIds)
{
    ScanText s(text);
    while (s.remaining() > 0 && !scanEnds(s)) {
        if (!referenceAhead(s)) {
            s.advance();
            continue;
        }
        const Reference r = readReference(s);
        qsizetype length = r.length;
        const auto found = newIds.constFind(r.n);
        if (r.number && found != newIds.constEnd() && *found != r.n) {
            const QString number = QString::number(*found);
            s.replace(2, r.textEnd - 2, number);
            length += number.size() - (r.textEnd - 2);
        }
        // Preparation replaces the whole reference by the other text, so what
        // looks like a reference inside it ("f(f(1))") is none; only a reference
        // to the function itself stays, and is scanned on.
        for (qsizetype k = r.n == ownId ? 1 : length; k > 0; --k)
            s.advance();
    }
    return s.text();
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
//
// Every rewrite happens at the scan position or just after it, so the work is
// linear in the length of the text produced (references stop expanding at a
// million characters).
void Function::parse()
{
    prepare(true);
}

void Function::prepare(bool debugLines)
{
    const QString typed = string;
    ScanText s(string);
    references.clear(); // every reference met, expanded or not

    // Expansions the scan is still inside: a reference back to one of them
    // (1 -> 2 -> 1, or 1 -> 2 -> 3 -> 2) is left as it stands, so the chain ends.
    // Each block lies inside the ones opened before it (it ends at the latest
    // where they end), so they close in the reverse order.
    struct Expansion
    {
        int id;
        qsizetype after; // characters ahead once the scan has passed the block
    };
    std::vector<Expansion> open;
    std::unordered_set<int> openIds;
    qsizetype inserted = 0;
    // "(text)" of every function referred to so far; the texts do not change
    // while this one is prepared.
    std::unordered_map<int, QString> blocks;

    for (; s.remaining() > 0 && !scanEnds(s); s.advance()) {
        while (!open.empty() && s.remaining() <= open.back().after) {
            openIds.erase(open.back().id);
            open.pop_back();
        }

        if (s.at(0) == QLatin1Char('*') && s.at(1) == QLatin1Char('*'))
            s.replace(0, 2, QStringLiteral("^ "));

        // A typed "pi()" already has its parentheses.
        if (s.at(0) == QLatin1Char('p') && s.at(1) == QLatin1Char('i') &&
            s.at(2) != QLatin1Char('('))
            s.replace(2, 0, QStringLiteral("()"));

        if (referenceAhead(s)) {
            const Reference ref = readReference(s);
            const int n = ref.n;
            if (debugLines) {
                qDebug("insFuncString: %s", qPrintable(ref.shown));
                qDebug("insFuncNumber: %d", n);
            }
            references.push_back(n);

            if (n != id && openIds.count(n) == 0) {
                const qsizetype len = ref.length;
                auto found = blocks.find(n);
                if (found == blocks.end()) {
                    // Spliced as a C string, so a NUL in the other text ends it;
                    // the length counted is that of the text actually spliced in.
                    const QByteArray other = getOtherString(n).toLatin1();
                    QString empty;
                    found = blocks.emplace(n, stringInsert(empty, other.constData(), 0, 0)).first;
                }
                const QString &block = found->second;
                if (s.size() + block.size() - len <= kMaxPreparedLength &&
                    inserted + block.size() <= kMaxInserted) {
                    s.replace(0, len, block);
                    inserted += block.size();
                    open.push_back({n, s.remaining() - block.size()});
                    openIds.insert(n);
                }
            }
        }
    }

    std::sort(references.begin(), references.end());
    references.erase(std::unique(references.begin(), references.end()), references.end());
    string = s.text();
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
