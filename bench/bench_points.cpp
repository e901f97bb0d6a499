// tavlo-render --points: ms of CPU time to find every root, extremum and
// crossing of ten functions (the engine's E1 to E8, x/3 and the function of y
// sin(y)*5, so that crossings of both kinds are searched) on the default
// bounds, at the default size and at 1920 x 1080.
//
//   bench_points --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "cases.h"
#include "summary.h"

#include "plot/graphwidget.h"
#include "render/options.h"
#include "render/plotsetup.h"
#include "render/points.h"

#include <QApplication>

namespace {

struct Scene
{
    const char *name;
    const char *size;
};

const Scene kScenes[] = {{"ten_232x216", "232x216"}, {"ten_1920x1080", "1920x1080"}};

void benchPoints(benchmark::State &state, const Scene &s)
{
    QStringList args{"--points", "--size", QLatin1String(s.size)};
    for (const cases::Case &c : cases::kCases)
        args << "--y" << QLatin1String(c.text);
    args << "--y"
         << "x/3"
         << "--x"
         << "sin(y)*5";
    const ParseResult parsed = parseRenderOptions(args);
    GraphWidget graph;
    if (!parsed.error.isEmpty() || !setUpGraph(graph, parsed.options).ok()) {
        state.SkipWithError("the scene does not set up");
        return;
    }
    qsizetype rows = 0;
    for (auto _ : state) {
        writePoints(graph, [&rows](const QByteArray &b) {
            rows = b.count('\n') - 1;
            return RenderStatus();
        });
    }
    state.counters["rows"] = double(rows);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    runScenes(argc, argv, kScenes, "points", benchPoints, "ms of CPU per --points");
    return 0;
}
