#include "diagnosis.h"

#include "model/compilemessage.h"
#include "model/function.h"
#include "model/numbertext.h"
#include "plot/graphwidget.h"

#include <QRegularExpression>

namespace {

// A habit from other tools that the engine does not share, with what to write
// instead; empty when the text shows none. 1e-3 is read as 1 times an unknown
// e in a function's text; the engine takes 1E-3 (bound texts take both).
QString habitHint(const QString &text)
{
    static const QRegularExpression lowerExponent(
        QStringLiteral("(?<![A-Za-z0-9_.])(\\d+\\.?\\d*|\\.\\d+)e([+-]?\\d+)"));
    const QRegularExpressionMatch m = lowerExponent.match(text);
    if (m.hasMatch())
        return QStringLiteral("write %1E%2").arg(m.captured(1), m.captured(2));
    return {};
}

// "f(5)" when no function 5 is in the graph yet (other than `self`, the one
// being checked): references go to earlier functions only.
QString missingReferenceHint(const QString &text, const GraphWidget &graph, const Function *self)
{
    static const QRegularExpression reference(QStringLiteral("f\\s*\\(\\s*(\\d+)\\s*\\)"));
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const QString digits = it.next().captured(1);
        bool found = false;
        for (const Function *f = graph.getFunctions(); f && !found; f = f->getNextFunction())
            found = f != self && QString::number(f->getId()) == digits;
        if (!found)
            return QStringLiteral("no function %1 is given before this one").arg(digits);
    }
    return {};
}

// The text with a caret line under the character at offset (0-based), indented
// by two spaces; just the text when offset is negative.
QString pointAt(const QString &text, int offset)
{
    QString out = QStringLiteral("  ") + text + QLatin1Char('\n');
    if (offset < 0)
        return out;
    QString caret = QStringLiteral("  ");
    for (int i = 0; i < offset; ++i) {
        // Tabs stay tabs so the caret lines up under them.
        caret += i < text.size() && text.at(i) == QLatin1Char('\t') ? QLatin1Char('\t')
                                                                    : QLatin1Char(' ');
    }
    return out + caret + QStringLiteral("^\n");
}

RenderStatus expressionFailure(const QString &what, const QString &text, const QString &message,
                               int position, const QString &hint)
{
    RenderStatus s = failure(ExitExpression,
                             what + QStringLiteral(": ") + locatedMessage(message, position) +
                                 (hint.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(hint)));
    s.message += pointAt(text, position);
    return s;
}

} // namespace

RenderStatus checkValueText(const QString &what, const QString &text)
{
    if (text.trimmed().isEmpty())
        return failure(ExitExpression, what + QStringLiteral(": empty expression"));
    const TextValue v = readValueText(text);
    if (!v.ok)
        return expressionFailure(what, text, v.message, v.position, QString());
    return {};
}

RenderStatus checkAddedFunction(const GraphWidget &graph, const Function &f, const QString &what)
{
    if (!f.isDrawn() || f.getFormula().code)
        return {};
    const CompileDiagnosis d =
        diagnoseCompile(f.getString(), f.getIndepVariable(), f.getId(), graph.getFunctions());
    QString hint = missingReferenceHint(f.getString(), graph, &f);
    if (hint.isEmpty())
        hint = habitHint(f.getString());
    return expressionFailure(what, f.getString(),
                             d.message.isEmpty() ? QStringLiteral("does not compile") : d.message,
                             d.position, hint);
}
