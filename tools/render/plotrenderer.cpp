#include "plotrenderer.h"

#include "dialogs/functionset.h"
#include "formula/formula.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cmath>
#include <cstring>

namespace {

// Colours of expressions given without --color, in turn.
const QRgb kPalette[] = {0xd00000, 0x0000d0, 0x008000, 0xc000c0, 0xd07000, 0x008080, 0x000000};

struct CompileError
{
    bool failed = false;
    QString message;
    int offset = -1; // into the text as typed, -1 when not known
};

// The engine's verdict on text compiled with the parameter letters in args.
CompileError compileRaw(const QString &text, const char *args)
{
    CompileError e;
    const QByteArray source = text.toLatin1();
    int length = 0;
    int error = -1;
    const formu f = translate(source.constData(), args, &length, &error);
    if (f.code) {
        destrf(f);
        return e;
    }
    e.failed = true;
    const char *msg = fget_error();
    e.message = QString::fromLatin1(msg ? msg : "does not compile");
    e.offset = error;
    return e;
}

QString located(const CompileError &e)
{
    return e.offset >= 0 ? QStringLiteral("%1 at column %2").arg(e.message).arg(e.offset + 1)
                         : e.message;
}

RenderStatus fail(ExitCode code, const QString &message)
{
    return {code, QStringLiteral("tavlo-render: ") + message + QLatin1Char('\n')};
}

RenderStatus expressionError(const QString &what, const QString &text, const CompileError &e)
{
    RenderStatus s = fail(ExitExpression, what + QStringLiteral(": ") + located(e));
    s.message += pointAt(text, e.offset);
    return s;
}

// A bound or grid text goes to the engine unprepared, as the plot widget's
// slots take it; a text the widget would read as 0 is refused here.
RenderStatus checkValueText(const QString &what, const QString &text)
{
    if (text.trimmed().isEmpty())
        return fail(ExitExpression, what + QStringLiteral(": empty expression"));
    const CompileError e = compileRaw(text, "x");
    if (e.failed)
        return expressionError(what, text, e);
    return {};
}

// Checks the function just added from text: the record compiled the prepared
// text, and the engine's message is still that compilation's. The position is
// the one the engine finds in the typed text when that fails the same way;
// when only the prepared text fails (a reference to a broken or missing
// function), there is no column in what the user typed.
RenderStatus checkAdded(const Function &f, const QString &what)
{
    if (!f.getEnabled() || f.getString().isEmpty() || f.getFormula().code)
        return {};
    CompileError prepared;
    prepared.failed = true;
    const char *msg = fget_error();
    prepared.message = QString::fromLatin1(msg ? msg : "does not compile");
    const CompileError typed = compileRaw(f.getString(), f.getIndepVariable() == 'x' ? "x" : "y");
    if (typed.failed && typed.message == prepared.message)
        prepared.offset = typed.offset;
    return expressionError(what, f.getString(), prepared);
}

RenderStatus addSetFile(GraphWidget &graph, const QString &path)
{
    if (QFileInfo(path).isDir())
        return fail(ExitSetFile,
                    QStringLiteral("cannot read set file '%1': it is a directory").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(ExitSetFile,
                    QStringLiteral("cannot read set file '%1': %2").arg(path, file.errorString()));
    const FunctionSetResult set = readFunctionSet(file);
    switch (set.status) {
    case FunctionSetResult::Ok:
        break;
    case FunctionSetResult::BadHeader:
        return fail(ExitSetFile, QStringLiteral("'%1' is not a Tavlo function set (wrong magic "
                                                "number or format version)")
                                     .arg(path));
    case FunctionSetResult::Damaged:
        return fail(ExitSetFile, QStringLiteral("set file '%1' is damaged: it ends before its end "
                                                "marker or holds a cut-off record")
                                     .arg(path));
    }
    // One record at a time, so that each one's compilation can be checked
    // before the next one overwrites the engine's message.
    for (const FunctionRecord &record : set.records) {
        addFunctionSet(graph, {record});
        const Function *f = graph.getActiveFunction();
        const RenderStatus s =
            checkAdded(*f, QStringLiteral("function %1 of set '%2'").arg(record.id).arg(path));
        if (s.code != ExitOk)
            return s;
    }
    return {};
}

} // namespace

QString pointAt(const QString &text, int offset)
{
    QString out = QStringLiteral("  ") + text + QLatin1Char('\n');
    if (offset < 0)
        return out;
    QString caret = QStringLiteral("  ");
    for (int i = 0; i < offset; ++i) {
        // Tabs stay tabs so the caret lines up under them.
        caret += i < text.size() && text.at(i) == QLatin1Char('\t') ? QLatin1Char('\t')
                                                                    : QLatin1Char(' ');
    }
    return out + caret + QStringLiteral("^\n");
}

RenderStatus setUpGraph(GraphWidget &graph, const RenderOptions &o)
{
    graph.setGeometry(QRect(QPoint(0, 0), o.size));
    graph.setXStep(o.xStep);
    graph.setYStep(o.yStep);

    if (!o.gridEnabled)
        graph.toggle_grid();
    if (o.gridGiven && o.gridEnabled) {
        const char *names[] = {"GX", "GY"};
        for (int k = 0; k < 2; ++k) {
            const RenderStatus s = checkValueText(
                QStringLiteral("--grid %1 '%2'").arg(QLatin1String(names[k]), o.grid[k]),
                o.grid[k]);
            if (s.code != ExitOk)
                return s;
        }
        graph.change_grid_x(o.grid[0]);
        graph.change_grid_y(o.grid[1]);
        const float g[] = {graph.getGridX(), graph.getGridY()};
        for (int k = 0; k < 2; ++k) {
            if (!(g[k] > 0) || !std::isfinite(g[k]))
                return fail(ExitExpression,
                            QStringLiteral("--grid %1 '%2' is %3; a spacing must be greater than "
                                           "0 (--no-grid draws no grid)")
                                .arg(QLatin1String(names[k]), o.grid[k])
                                .arg(double(g[k])));
        }
    }

    if (o.boundsGiven) {
        const char *names[] = {"XMIN", "XMAX", "YMIN", "YMAX"};
        for (int k = 0; k < 4; ++k) {
            const RenderStatus s = checkValueText(
                QStringLiteral("--bounds %1 '%2'").arg(QLatin1String(names[k]), o.bounds[k]),
                o.bounds[k]);
            if (s.code != ExitOk)
                return s;
        }
        graph.change_x_min(o.bounds[0]);
        graph.change_x_max(o.bounds[1]);
        graph.change_y_min(o.bounds[2]);
        graph.change_y_max(o.bounds[3]);
        const float b[] = {graph.getXMin(), graph.getXMax(), graph.getYMin(), graph.getYMax()};
        for (int k = 0; k < 4; ++k) {
            if (!std::isfinite(b[k]))
                return fail(ExitExpression,
                            QStringLiteral("--bounds %1 '%2' is not a finite number")
                                .arg(QLatin1String(names[k]), o.bounds[k]));
        }
        // Equal bounds leave no range to map onto the pixels.
        if (b[0] == b[1])
            return fail(ExitExpression,
                        QStringLiteral("--bounds: XMIN and XMAX are both %1").arg(double(b[0])));
        if (b[2] == b[3])
            return fail(ExitExpression,
                        QStringLiteral("--bounds: YMIN and YMAX are both %1").arg(double(b[2])));
    }

    int paletteIndex = 0;
    for (const PlotItem &item : o.items) {
        if (item.kind == PlotItem::SetFile) {
            const RenderStatus s = addSetFile(graph, item.text);
            if (s.code != ExitOk)
                return s;
            continue;
        }
        const QString what = QStringLiteral("%1 '%2'").arg(item.option, item.text);
        if (item.text.trimmed().isEmpty())
            return fail(ExitExpression, what + QStringLiteral(": empty expression"));
        QColor color = item.color;
        if (!color.isValid()) {
            color = QColor::fromRgb(kPalette[paletteIndex % std::size(kPalette)]);
            ++paletteIndex;
        }
        const Function *f =
            graph.addFunction(graph.getNumberOfFunctions(), item.text, item.indepVariable, color);
        const RenderStatus s = checkAdded(*f, what);
        if (s.code != ExitOk)
            return s;
    }
    return {};
}

RenderStatus writePicture(GraphWidget &graph, const RenderOptions &o)
{
    QSaveFile file(o.output);
    auto cannotWrite = [&](const QString &why) {
        return fail(ExitOutput, QStringLiteral("cannot write '%1': %2").arg(o.output, why));
    };
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(file.errorString());

    if (o.format == RenderOptions::Png) {
        // The format and first fill of the widget's own backing picture.
        QImage image(o.size, QImage::Format_RGB32);
        image.fill(graph.palette().color(graph.backgroundRole()));
        {
            QPainter p(&image);
            graph.paintGraph(p);
        }
        if (!image.save(&file, "PNG"))
            return cannotWrite(file.errorString());
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(o.size);
        svg.setViewBox(QRect(QPoint(0, 0), o.size));
        svg.setTitle(QStringLiteral("Tavlo plot"));
        QPainter p;
        if (!p.begin(&svg))
            return cannotWrite(QStringLiteral("the SVG writer could not start"));
        graph.paintGraph(p);
        p.end();
    }
    if (!file.commit())
        return cannotWrite(file.errorString());
    return {};
}
