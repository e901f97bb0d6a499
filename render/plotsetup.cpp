#include "plotsetup.h"

#include "diagnosis.h"
#include "options.h"
#include "setfile.h"

#include "model/numbertext.h"
#include "plot/graphwidget.h"

#include <cmath>
#include <iterator>

namespace {

// Colours of expressions given without --color, in turn.
const QRgb kPalette[] = {0xd00000, 0x0000d0, 0x008000, 0xc000c0, 0xd07000, 0x008080, 0x000000};

RenderStatus setGrid(GraphWidget &graph, const RenderOptions &o)
{
    const char *names[] = {"GX", "GY"};
    for (int k = 0; k < 2; ++k) {
        const RenderStatus s = checkValueText(
            QStringLiteral("--grid %1 '%2'").arg(QLatin1String(names[k]), o.grid[k]), o.grid[k]);
        if (!s.ok())
            return s;
    }
    graph.change_grid_x(o.grid[0]);
    graph.change_grid_y(o.grid[1]);
    const float g[] = {graph.getGridX(), graph.getGridY()};
    for (int k = 0; k < 2; ++k) {
        if (!(g[k] > 0) || !std::isfinite(g[k]))
            return failure(ExitExpression,
                           QStringLiteral("--grid %1 '%2' is %3; a spacing must be greater than 0 "
                                          "(--no-grid draws no grid)")
                               .arg(QLatin1String(names[k]), o.grid[k])
                               .arg(double(g[k])));
    }
    return {};
}

RenderStatus setBounds(GraphWidget &graph, const RenderOptions &o)
{
    const char *names[] = {"XMIN", "XMAX", "YMIN", "YMAX"};
    for (int k = 0; k < 4; ++k) {
        const RenderStatus s = checkValueText(
            QStringLiteral("--bounds %1 '%2'").arg(QLatin1String(names[k]), o.bounds[k]),
            o.bounds[k]);
        if (!s.ok())
            return s;
    }
    graph.change_x_min(o.bounds[0]);
    graph.change_x_max(o.bounds[1]);
    graph.change_y_min(o.bounds[2]);
    graph.change_y_max(o.bounds[3]);
    const float b[] = {graph.getXMin(), graph.getXMax(), graph.getYMin(), graph.getYMax()};
    for (int k = 0; k < 4; ++k) {
        if (!std::isfinite(b[k]))
            return failure(ExitExpression, QStringLiteral("--bounds %1 '%2' is not a finite number")
                                               .arg(QLatin1String(names[k]), o.bounds[k]));
    }
    // Equal bounds leave no range to map onto the pixels; reversed ones would
    // be drawn as if they were in order, under the wrong numbers.
    for (int k = 0; k < 4; k += 2) {
        const QString lo = QLatin1String(names[k]);
        const QString hi = QLatin1String(names[k + 1]);
        if (b[k] == b[k + 1])
            return failure(
                ExitExpression,
                QStringLiteral("--bounds: %1 and %2 are both %3").arg(lo, hi, formatNumber(b[k])));
        if (b[k] > b[k + 1])
            return failure(ExitExpression,
                           QStringLiteral("--bounds: %1 (%2) is above %3 (%4); give the smaller "
                                          "bound first")
                               .arg(lo, formatNumber(b[k]), hi, formatNumber(b[k + 1])));
    }
    return {};
}

} // namespace

RenderStatus setUpGraph(GraphWidget &graph, const RenderOptions &o)
{
    graph.setGeometry(QRect(QPoint(0, 0), o.size));
    graph.setXStep(o.xStep);
    graph.setYStep(o.yStep);
    if (!o.gridEnabled)
        graph.toggle_grid();
    RenderStatus s;
    if (o.gridGiven && o.gridEnabled)
        s = setGrid(graph, o);
    if (s.ok() && o.boundsGiven)
        s = setBounds(graph, o);

    int paletteIndex = 0;
    for (const PlotItem &item : o.items) {
        if (!s.ok())
            break;
        if (item.kind == PlotItem::SetFile) {
            s = addSetFile(graph, item.text);
            continue;
        }
        const QString what = QStringLiteral("%1 '%2'").arg(item.option, item.text);
        if (item.text.trimmed().isEmpty())
            return failure(ExitExpression, what + QStringLiteral(": empty expression"));
        QColor color = item.color;
        if (!color.isValid())
            color = QColor::fromRgb(kPalette[paletteIndex++ % std::size(kPalette)]);
        Function *f =
            graph.addFunction(graph.getNumberOfFunctions(), item.text, item.indepVariable, color);
        s = checkAddedFunction(graph, *f, what);
    }
    return s;
}
