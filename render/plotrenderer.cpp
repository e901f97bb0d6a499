#include "plotrenderer.h"

#include "decorations.h"
#include "pngwriter.h"
#include "svgwriter.h"
#include "vectorstate.h"

#include "model/functionset.h"
#include "formula/formula.h"
#include "model/function.h"
#include "model/numbertext.h"
#include "plot/graphwidget.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QThreadPool>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include <sys/stat.h>

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

// Habits from other tools that the engine does not share, with what to write
// instead; empty when the text shows none. A bound or grid text is compiled as
// typed, so a bare pi fails there (function texts have it rewritten).
QString habitHint(const QString &text, bool valueText)
{
    static const QRegularExpression barePi(
        QStringLiteral("(?<![A-Za-z0-9_])pi(?![A-Za-z0-9_]|\\s*\\()"));
    if (valueText && barePi.match(text).hasMatch())
        return QStringLiteral("write pi()");
    // 1e-3 is read as 1 times an unknown e; the engine takes 1E-3.
    static const QRegularExpression lowerExponent(
        QStringLiteral("(?<![A-Za-z0-9_.])(\\d+\\.?\\d*|\\.\\d+)e([+-]?\\d+)"));
    const QRegularExpressionMatch m = lowerExponent.match(text);
    if (m.hasMatch())
        return QStringLiteral("write %1E%2").arg(m.captured(1), m.captured(2));
    return {};
}

// "f(5)" when no function 5 is in the graph yet (other than the newest, which
// is the one being checked): references go to earlier functions only.
QString missingReferenceHint(const QString &text, const GraphWidget &graph, const Function *self)
{
    static const QRegularExpression reference(QStringLiteral("f\\s*\\(\\s*(\\d+)\\s*\\)"));
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const QString digits = it.next().captured(1);
        bool found = false;
        for (const Function *f = graph.getFunctions(); f && !found; f = f->getNextFunction())
            found = f != self && QString::number(f->getId()) == digits;
        if (!found)
            return QStringLiteral("no function %1 is given before this one").arg(digits);
    }
    return {};
}

RenderStatus expressionError(const QString &what, const QString &text, const CompileError &e,
                             const QString &hint = QString())
{
    RenderStatus s =
        fail(ExitExpression, what + QStringLiteral(": ") + located(e) +
                                 (hint.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(hint)));
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
        return expressionError(what, text, e, habitHint(text, true));
    return {};
}

// Checks the function just added from text: the record compiled the prepared
// text, and the engine's message is still that compilation's. The position is
// the one the engine finds in the typed text when that fails the same way;
// when only the prepared text fails (a reference to a broken or missing
// function), there is no column in what the user typed.
RenderStatus checkAdded(const GraphWidget &graph, const Function &f, const QString &what)
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
    QString hint = missingReferenceHint(f.getString(), graph, &f);
    if (hint.isEmpty())
        hint = habitHint(f.getString(), false);
    return expressionError(what, f.getString(), prepared, hint);
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
        graph.addFunctionSet({record});
        const Function *f = graph.getActiveFunction();
        const RenderStatus s = checkAdded(
            graph, *f, QStringLiteral("function %1 of set '%2'").arg(record.id).arg(path));
        if (s.code != ExitOk)
            return s;
    }
    return {};
}

// A header field of the CSV table, quoted when it holds a comma, a quote or a
// line break (a function text such as atan2(y,x)).
QString csvField(const QString &text)
{
    static const QRegularExpression special(QStringLiteral("[\",\r\n]"));
    if (!text.contains(special))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Where the output goes: standard output for an empty path, else a file beside
// the output that is renamed over it once all of it is written, so a failure
// leaves either the old file or none, never half of one. Unlike QSaveFile it
// does not wait for the disk (fdatasync), which took 5 to 30 ms of a run on a
// busy machine; a plot is cheap to write again.
class Output
{
public:
    explicit Output(const QString &path)
        : path(path)
        , file(path + QStringLiteral(".XXXXXX"))
    {}

    RenderStatus open()
    {
        if (path.isEmpty())
            return {};
        if (!file.open())
            return failed(file.errorString());
        // The permissions a new file gets, not the temporary file's owner-only ones.
        const mode_t mask = umask(0);
        umask(mask);
        if (fchmod(file.handle(), 0666 & ~mask) != 0)
            return failed(QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }

    RenderStatus write(const QByteArray &bytes)
    {
        if (path.isEmpty()) {
            if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) !=
                size_t(bytes.size()))
                return failed(QString::fromLocal8Bit(std::strerror(errno)));
        } else if (file.write(bytes) != bytes.size()) {
            return failed(file.errorString());
        }
        return {};
    }

    RenderStatus commit()
    {
        if (path.isEmpty())
            return std::fflush(stdout) == 0 ? RenderStatus()
                                            : failed(QString::fromLocal8Bit(std::strerror(errno)));
        if (!file.flush())
            return failed(file.errorString());
        if (std::rename(QFile::encodeName(file.fileName()).constData(),
                        QFile::encodeName(path).constData()) != 0)
            return failed(QString::fromLocal8Bit(std::strerror(errno)));
        file.setAutoRemove(false);
        return {};
    }

private:
    RenderStatus failed(const QString &why) const
    {
        return fail(ExitOutput, path.isEmpty()
                                    ? QStringLiteral("cannot write to standard output: %1").arg(why)
                                    : QStringLiteral("cannot write '%1': %2").arg(path, why));
    }

    const QString path;
    QTemporaryFile file;
};

RenderStatus writeOutput(const QString &path, const QByteArray &bytes)
{
    Output out(path);
    RenderStatus s = out.open();
    if (s.code == ExitOk)
        s = out.write(bytes);
    return s.code == ExitOk ? out.commit() : s;
}

// The toolkit splits a fill of more than about a hundred spans (the
// background, a line across the picture) over the threads of its global pool,
// unless it draws in one of them already. For ten functions at 1920 x 1080
// that was some 3000 hand-overs between threads: 3 ms of the 28 ms of CPU
// time, and more of waiting on a busy machine. Drawn in a thread of that pool,
// the picture is the same, filled serially.
template<typename Work>
void inPoolThread(Work work)
{
    QThreadPool *pool = QThreadPool::globalInstance();
    pool->start(work);
    pool->waitForDone();
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
        // Equal bounds leave no range to map onto the pixels; reversed ones
        // would be drawn as if they were in order, under the wrong numbers.
        for (int k = 0; k < 4; k += 2) {
            const QString lo = QLatin1String(names[k]);
            const QString hi = QLatin1String(names[k + 1]);
            if (b[k] == b[k + 1])
                return fail(ExitExpression, QStringLiteral("--bounds: %1 and %2 are both %3")
                                                .arg(lo, hi, formatNumber(b[k])));
            if (b[k] > b[k + 1])
                return fail(ExitExpression,
                            QStringLiteral("--bounds: %1 (%2) is above %3 (%4); give the smaller "
                                           "bound first")
                                .arg(lo, formatNumber(b[k]), hi, formatNumber(b[k + 1])));
        }
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
        const RenderStatus s = checkAdded(graph, *f, what);
        if (s.code != ExitOk)
            return s;
    }
    return {};
}

RenderStatus writePicture(GraphWidget &graph, const RenderOptions &o)
{
    graph.setAntialiased(o.antialias);
    QByteArray bytes;
    if (o.format == RenderOptions::Png) {
        // 24 bits, where the widget's backing picture has 32: the same exact
        // colours, and the toolkit fills them without the AVX2 code that slows
        // the evaluation between the lines (see vectorstate.h): 3 ms less of
        // the 35 ms of ten functions at 1920 x 1080. The redraw fills it all.
        QImage image(o.size, QImage::Format_RGB888);
        inPoolThread([&] {
            QPainter p(&image);
            clearUpperVectorHalves();
            graph.paintGraph(p);
            const Decorations d = layOutDecorations(graph, o);
            if (!d.isEmpty()) {
                p.setRenderHint(QPainter::TextAntialiasing, o.antialias);
                drawDecorationShapes(p, d);
                drawDecorationTexts(p, d);
            }
        });
        if (std::optional<QByteArray> png = palettePng(image)) {
            bytes = std::move(*png);
        } else {
            // Smooth curves and text have more colours than a palette holds.
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
        }
    } else {
        SvgWriter svg(o.size, !o.antialias);
        {
            QPainter p(&svg);
            clearUpperVectorHalves();
            graph.paintGraph(p);
            const Decorations d = layOutDecorations(graph, o);
            drawDecorationShapes(p, d);
            p.end();
            for (const PlacedText &t : d.texts)
                svg.addText(t);
        }
        bytes = svg.finish();
    }
    return writeOutput(o.output, bytes);
}

RenderStatus writeTable(GraphWidget &graph, const RenderOptions &o)
{
    QList<const Function *> shown;
    bool ofX = false, ofY = false;
    for (const Function *f = graph.getFunctions(); f; f = f->getNextFunction()) {
        if (f->getString().isEmpty() || !f->getEnabled())
            continue;
        shown.append(f);
        (f->getIndepVariable() == 'x' ? ofX : ofY) = true;
    }
    if (!ofY)
        ofX = true;
    // The values of x and of y at row i, evenly spaced from the lower bound
    // to the upper one, which the last row takes exactly.
    const int n = o.tableRows;
    auto at = [n](float lo, float hi, int i) {
        return i == n - 1 ? double(hi) : double(lo) + (double(hi) - double(lo)) * i / (n - 1);
    };
    Output output(o.output);
    RenderStatus status = output.open();
    if (status.code != ExitOk)
        return status;
    clearUpperVectorHalves();
    QByteArray out;
    auto number = [&out](double v) {
        out += std::isnan(v) ? QByteArrayLiteral("nan") : formatNumber(v, 17).toLatin1();
    };
    QStringList header;
    if (ofX)
        header << QStringLiteral("x");
    if (ofY)
        header << QStringLiteral("y");
    for (const Function *f : shown)
        header << csvField(f->getString());
    out += header.join(QLatin1Char(',')).toUtf8() + '\n';
    for (int i = 0; i < n; ++i) {
        const double x = at(graph.getXMin(), graph.getXMax(), i);
        const double y = at(graph.getYMin(), graph.getYMax(), i);
        if (ofX)
            number(x);
        if (ofY) {
            if (ofX)
                out += ',';
            number(y);
        }
        for (const Function *f : shown) {
            out += ',';
            number(f->evaluate(f->getIndepVariable() == 'x' ? x : y));
        }
        out += '\n';
        // A megabyte at a time: a table of a million rows need not be held whole.
        if (out.size() >= (1 << 20) || i == n - 1) {
            status = output.write(out);
            if (status.code != ExitOk)
                return status;
            out.clear();
        }
    }
    return output.commit();
}
