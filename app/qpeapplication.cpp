#include "app/qpeapplication.h"

#include <QFont>
#include <QStringList>
#include <QWidget>

namespace {

// The forms ask for the handheld's font names. Map them to the desktop's
// metric-compatible families so the small fixed-size labels keep their texts.
void addFontSubstitutions()
{
    const QStringList sans = {QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                              QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")};
    const QStringList serif = {QStringLiteral("Liberation Serif"), QStringLiteral("Nimbus Roman"),
                               QStringLiteral("Times New Roman"), QStringLiteral("DejaVu Serif")};
    QFont::insertSubstitutions(QStringLiteral("adobe-helvetica"), sans);
    QFont::insertSubstitutions(QStringLiteral("helvetica"), sans);
    QFont::insertSubstitutions(QStringLiteral("adobe-times"), serif);
}

// The forms are laid out in pixels for a screen whose point equals a pixel;
// measure fonts the same way unless the user asked for something else.
int &withHandheldFontDpi(int &argc)
{
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "72");
    return argc;
}

} // namespace

QPEApplication::QPEApplication(int &argc, char **argv)
    : QApplication(withHandheldFontDpi(argc), argv)
{
    addFontSubstitutions();
    setQuitOnLastWindowClosed(true);
}

void QPEApplication::showMainWidget(QWidget *widget, bool noMaximize)
{
    // On a desktop the fixed-size window is never maximised, whatever the flag.
    Q_UNUSED(noMaximize);
    widget->show();
}
