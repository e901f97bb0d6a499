#include "app/qpeapplication.h"
#include "app/tavlo.h"

#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char **argv)
{
    QPEApplication a(argc, argv);
    // The toolkit has taken its own options (-platform, -style, ...) by now.
    QCommandLineParser parser;
    parser.setApplicationDescription(QApplication::translate("main", "A small function plotter."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("files"),
        QApplication::translate("main", "Function sets to load, in order, as Options > Load does."),
        QStringLiteral("[FILE...]"));
    parser.process(a);
    const QStringList files = parser.positionalArguments();

    int result = 0;
    {
        Tavlo window(nullptr, nullptr, Qt::WindowFlags());
        a.showMainWidget(&window, false);
        // Loaded from the event loop, so that closing the window over one of
        // the load messages still ends the program.
        if (!files.isEmpty())
            QTimer::singleShot(0, &window, [&window, files] { window.loadFunctionFiles(files); });
        result = a.exec();
    }
    return result;
}
