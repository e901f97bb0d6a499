#include "options.h"
#include "render.h"

#include "plot/graphwidget.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTextStream>

namespace {

QtMessageHandler defaultHandler = nullptr;

// Without a desktop session the toolkit complains that it has no runtime
// folder, which it does not need for drawing; that is not this tool's output.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        defaultHandler(type, context, message);
}

} // namespace

// tavlo-render: the plotter's picture from the command line, without a display.
int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    QTextStream out(stdout);
    QTextStream err(stderr);
    const ParseResult parsed = parseRenderOptions(args);
    if (!parsed.error.isEmpty()) {
        err << "tavlo-render: " << parsed.error << '\n'
            << renderUsage() << "Try 'tavlo-render --help' for more.\n";
        return ExitUsage;
    }
    const RenderOptions &options = parsed.options;
    if (options.help || options.version) {
        out << (options.help
                    ? renderHelp()
                    : QStringLiteral("tavlo-render %1\n").arg(QLatin1String(TAVLO_VERSION)));
        out.flush();
        return out.status() == QTextStream::Ok ? ExitOk : ExitOutput;
    }

    // Never a display, whatever QT_QPA_PLATFORM names (an X server or a
    // Wayland compositor that is not there would abort the run). The minimal
    // platform starts without the font database (some 7 ms of a 20 ms run),
    // which only text needs; with text it is told to load the fonts.
    const bool text = options.format != RenderOptions::Csv &&
                      (options.axes || options.legend || !options.title.isEmpty());
    qputenv("QT_QPA_PLATFORM", text ? "minimal:enable_fonts" : "minimal");
    // The toolkit sees no arguments, so none of ours is taken as one of its
    // own (-style, -geometry, ...).
    int appArgc = 1;
    char *appArgv[] = {argv[0], nullptr};
    defaultHandler = qInstallMessageHandler(quietHandler);
    QApplication app(appArgc, appArgv);
    // Expanding a reference f(n) logs two debug lines; they are not this
    // tool's output.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    GraphWidget graph;
    const RenderStatus status = render(graph, options);
    err << status.message;
    return status.code;
}
