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

QString compileMessage(const QString &text, char indepVariable, int id, Function *listHead)
{
    if (text.isEmpty())
        return QString();
    // A scratch record prepares the text exactly as the stored function will
    // (rewrites, references to other functions) and compiles it.
    const char *message = nullptr;
    {
        Function probe(id, QString(), indepVariable, QColor(), listHead);
        probe.setStringQuietly(text);
        if (probe.getFormula().code)
            return QString();
        message = fget_error(); // a constant text of the engine; read before the
                                // scratch record's release clears it
    }
    if (!message)
        return tr("does not compile");

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
    return messageAt(QString::fromLatin1(message), samePlace ? position : -1);
}

QString messageAt(const QString &message, int position)
{
    const QString what = message.trimmed();
    return position >= 0 ? tr("%1 at character %2").arg(what).arg(position + 1) : what;
}

QString valueTextMessage(const QString &text)
{
    const TextValue read = readValueText(text);
    return read.ok ? QString() : messageAt(read.message, read.position);
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
