#include "app/qpeapplication.h"

#include <QFont>
#include <QIcon>
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

    // The name ties the window to its launcher: the window class on X11 (the
    // desktop file's StartupWMClass), the application id on Wayland.
    setApplicationName(QStringLiteral("tavlo"));
    setApplicationVersion(QStringLiteral(TAVLO_VERSION));
    setDesktopFileName(QStringLiteral("io.github.tavlo.Tavlo"));
    // The installed icon follows the user's icon theme; the copy built in
    // serves when Tavlo runs from its build folder or the theme has none.
    QIcon builtIn;
    for (const char *size : {"48x48", "128x128"})
        builtIn.addFile(
            QStringLiteral(":/tavlo/%1/io.github.tavlo.Tavlo.png").arg(QLatin1String(size)));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.tavlo.Tavlo"), builtIn));
}

void QPEApplication::showMainWidget(QWidget *widget, bool noMaximize)
{
    // On a desktop the fixed-size window is never maximised, whatever the flag.
    Q_UNUSED(noMaximize);
    widget->show();
}
