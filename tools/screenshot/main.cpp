#include "app/qpeapplication.h"
#include "app/tavlo.h"
#include "plot/graphwidget.h"

#include <QImage>
#include <QWidget>
#include <QMetaObject>
#include <QStyleFactory>
#include <QTextStream>

#include <cstdio>

// tavlo-screenshot OUT.png: the main window with a few functions, as the
// README shows it. Runs on the offscreen platform unless another is asked for.
int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: tavlo-screenshot OUT.png\n", stderr);
        return 1;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int appArgc = 1;
    char *appArgv[] = {argv[0], nullptr};
    QPEApplication app(appArgc, appArgv);
    // The same look on every machine.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    Tavlo window(nullptr, nullptr, Qt::WindowFlags());
    GraphWidget *graph = window.getGraph();
    struct Example
    {
        const char *text;
        char var;
        QColor color;
    };
    const Example examples[] = {
        {"3*sin(x)", 'x', QColor(208, 0, 0)},
        {"x^2/4-6", 'x', QColor(0, 0, 208)},
        {"2*cos(y)-5", 'y', QColor(0, 128, 0)},
    };
    for (const Example &e : examples)
        graph->addFunction(graph->getNumberOfFunctions(), QString::fromLatin1(e.text), e.var,
                           e.color);
    // What the window does after adding a function: rebuild the selector, show
    // the first function and redraw.
    window.fBoxMake();
    QMetaObject::invokeMethod(&window, "functionChange", Qt::DirectConnection, Q_ARG(int, 0));

    app.showMainWidget(&window);
    QCoreApplication::processEvents();
    // No text cursor blinking in a bound field on the picture.
    if (QWidget *focus = QApplication::focusWidget())
        focus->clearFocus();
    QCoreApplication::processEvents();
    if (!window.grab().toImage().save(path, "PNG")) {
        QTextStream(stderr) << "tavlo-screenshot: cannot write '" << path << "'\n";
        return 4;
    }
    return 0;
}
