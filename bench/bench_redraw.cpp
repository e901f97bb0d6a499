// The redraw of the plot widget, offscreen: ms per drawGraph() for the bare
// frame and for sets of curves at several sampling steps and canvas sizes.
//
//   bench_redraw --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "alloc_count.h"
#include "plot/graphwidget.h"
#include "summary.h"

#include <QApplication>
#include <QColor>
#include <QRect>
#include <QString>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// Ten everyday curves: smooth ones, ones that leave the window, asymptotes, a
// domain edge.
const char *const kOfX[] = {"sin(x)*5", "x^2/4-5",    "tan(x)",    "1/x",    "sqrt(abs(x))*2",
                            "exp(x/4)", "ln(abs(x))", "atan(x)*5", "x^3/50", "cos(3*x)*x"};
const char *const kOfY[] = {"sin(y)*5", "y^2/4-5",    "tan(y)",    "1/y",    "sqrt(abs(y))*2",
                            "exp(y/4)", "ln(abs(y))", "atan(y)*5", "y^3/50", "cos(3*y)*y"};
// Ten curves of x with edges of their domain in the window: the curve is
// followed to each edge, which costs evaluations beyond the samples.
const char *const kEdges[] = {"sqrt(25-x^2)",     "asin(x/3)*3", "sqrt(x)*2",      "ln(x)",
                              "sqrt(x)*sqrt(-x)", "acos(x/8)*3", "sqrt(sin(x))*5", "ln(cos(x))",
                              "sqrt(x^2-4)",      "asin(1/x)*5"};

struct Scene
{
    const char *name;
    int functions; // cycling through the ten curves, each shifted a little
    char var;      // 'e': the curves of x of kEdges
    int step;
    int width, height;
};

const Scene kScenes[] = {
    {"frame", 0, 'x', 4, 232, 216},
    {"x10_step1", 10, 'x', 1, 232, 216},
    {"x10_step4", 10, 'x', 4, 232, 216},
    {"y10_step1", 10, 'y', 1, 232, 216},
    {"x100_step4", 100, 'x', 4, 232, 216},
    {"x10_step1_1920x1080", 10, 'x', 1, 1920, 1080},
    {"x100_step1_1920x1080", 100, 'x', 1, 1920, 1080},
    {"edges10_step1", 10, 'e', 1, 232, 216},
    {"edges10_step4", 10, 'e', 4, 232, 216},
};

std::unique_ptr<GraphWidget> makeScene(const Scene &s)
{
    auto w = std::make_unique<GraphWidget>(nullptr, "graph");
    w->setGeometry(QRect(0, 0, s.width, s.height));
    w->setXStep(s.step);
    w->setYStep(s.step);
    for (int i = 0; i < s.functions; ++i) {
        const char *const *texts = s.var == 'x' ? kOfX : s.var == 'y' ? kOfY : kEdges;
        QString text = QString::fromLatin1(texts[i % 10]);
        if (i >= 10)
            text += QStringLiteral("+%1").arg(i / 10 * 0.25);
        const QColor color = QColor::fromHsv(i * 37 % 360, 255, 200);
        w->addFunction(i, text, s.var == 'y' ? 'y' : 'x', color);
    }
    w->drawGraph(); // the first redraw also writes the bounds back
    return w;
}

void benchRedraw(benchmark::State &state, const Scene &s)
{
    const std::unique_ptr<GraphWidget> w = makeScene(s);
    for (auto _ : state)
        w->drawGraph();
}

// Heap allocations per redraw. Qt's painter allocates for its own state, and
// its raster engine allocates once per dotted segment (a cosmetic dashed line
// sets up its dash pattern on the heap), so scenes whose curves leave the
// window at step 1 allocate in proportion to those segments. The curves of
// `smooth` stay inside the window: for them the count must not grow with the
// number of samples (step 1 against step 4, a wide canvas against the usual one).
void printAllocations()
{
    constexpr int kRedraws = 20;
    const char *const smooth[] = {"sin(x)*5", "atan(x)*5", "sqrt(abs(x))*2", "cos(3*x)*5", "x/2"};
    struct Case
    {
        std::string name;
        std::unique_ptr<GraphWidget> widget;
        int samples;
    };
    std::vector<Case> all;
    auto samplesOf = [](const Scene &s) {
        const int span = s.var == 'y' ? s.height : s.width;
        return s.functions * ((span - 1) / s.step + 2);
    };
    for (const Scene &s : kScenes)
        all.push_back({s.name, makeScene(s), samplesOf(s)});
    for (const Scene &s :
         {Scene{"smooth5_step1", 5, 'x', 1, 232, 216}, Scene{"smooth5_step4", 5, 'x', 4, 232, 216},
          Scene{"smooth5_step1_1920x1080", 5, 'x', 1, 1920, 1080}}) {
        auto w = std::make_unique<GraphWidget>(nullptr, "graph");
        w->setGeometry(QRect(0, 0, s.width, s.height));
        w->setXStep(s.step);
        for (int i = 0; i < s.functions; ++i)
            w->addFunction(i, QString::fromLatin1(smooth[i]), 'x',
                           QColor::fromHsv(i * 37, 255, 200));
        w->drawGraph();
        all.push_back({s.name, std::move(w), samplesOf(s)});
    }
    std::printf("\n| scene | samples per redraw (about) | allocations per redraw |\n"
                "|---|---:|---:|\n");
    for (const Case &c : all) {
        c.widget->drawGraph();
        const std::size_t before = allocationCount();
        for (int i = 0; i < kRedraws; ++i)
            c.widget->drawGraph();
        const double perRedraw = double(allocationCount() - before) / kRedraws;
        std::printf("| %s | %d | %s |\n", c.name.c_str(), c.samples,
                    formatNumber(perRedraw).c_str());
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    runScenes(argc, argv, kScenes, "drawGraph", benchRedraw, "ms per drawGraph()");
    printAllocations();
    return 0;
}
