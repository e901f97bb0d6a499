#include "model/compilemessage.h"

#include "model/function.h"
#include "model/numbertext.h"

#include <QCoreApplication>

#include <cstring>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CompileMessage", text);
}

} // namespace

CompileDiagnosis diagnoseCompile(const QString &text, char indepVariable, int id,
                                 Function *listHead)
{
    if (text.isEmpty())
        return {};
    // A scratch record prepares the text exactly as the stored function will
    // (rewrites, references to other functions) and compiles it.
    const char *message = nullptr;
    {
        Function probe(id, QString(), indepVariable, QColor(), listHead);
        probe.setStringQuietly(text);
        if (probe.getFormula().code)
            return {};
        message = fget_error(); // a constant text of the engine; read before the
                                // scratch record's release clears it
    }
    if (!message)
        return {tr("does not compile"), -1};

    // The engine's position refers to the prepared text. It is shown only when
    // the typed text fails the same way, so that it points into what the user sees.
    const QByteArray typed = text.toLatin1();
    int length = 0;
    int position = -1;
    const formu f =
        translate(typed.constData(), indepVariable == 'x' ? "x" : "y", &length, &position);
    const char *typedMessage = fget_error();
    const bool samePlace = !f.code && typedMessage && std::strcmp(typedMessage, message) == 0 &&
                           position >= 0 && position <= typed.size();
    destrf(f);
    return {QString::fromLatin1(message).trimmed(), samePlace ? position : -1};
}

QString locatedMessage(const QString &message, int position)
{
    return position >= 0 ? tr("%1 at character %2").arg(message).arg(position + 1) : message;
}

QString compileMessage(const QString &text, char indepVariable, int id, Function *listHead)
{
    const CompileDiagnosis d = diagnoseCompile(text, indepVariable, id, listHead);
    return locatedMessage(d.message, d.position);
}

QString valueTextMessage(const QString &text)
{
    const TextValue read = readValueText(text);
    return read.ok ? QString() : locatedMessage(read.message, read.position);
}

QString compileProblem(Function &f)
{
    if (f.getString().isEmpty() || f.getFormula().code)
        return QString();
    QString message = compileMessage(f.getString(), f.getIndepVariable(), f.getId(), &f);
    if (message.isEmpty()) // compiles now: changed behind the registry's back
        message = tr("does not compile");
    return tr("Function %1: %2 = %3\n%4")
        .arg(f.getId())
        .arg(f.getIndepVariable() == 'x' ? QLatin1Char('Y') : QLatin1Char('X'))
        .arg(f.getString(), message);
}
