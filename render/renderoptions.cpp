#include "renderoptions.h"

#include <QRegularExpression>

#include <algorithm>
#include <iterator>

namespace {

// Larger pictures would need hundreds of megabytes of raster memory.
constexpr int kMaxSide = 4096;
// The options dialog offers these steps; larger ones are of no use on a plot.
constexpr int kMinStep = 1;
constexpr int kMaxStep = 10;
// A table of more rows is no longer a table anyone reads; 1 row has no spacing.
constexpr int kMinRows = 2;
constexpr int kMaxRows = 1000000;

bool parseSize(const QString &text, QSize &size)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return false;
    const int w = m.captured(1).toInt();
    const int h = m.captured(2).toInt();
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide)
        return false;
    size = QSize(w, h);
    return true;
}

bool parseStep(const QString &text, int &step)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < kMinStep || v > kMaxStep)
        return false;
    step = v;
    return true;
}

// "RRGGBB", "#RRGGBB" or a colour name such as "red".
QColor parseColor(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    if (hex.match(text).hasMatch())
        return QColor::fromString(QLatin1Char('#') + text);
    if (text.startsWith(QLatin1Char('#')) && !hex.match(text.mid(1)).hasMatch())
        return QColor();
    return QColor::fromString(text);
}

const char *const kOptionNames[] = {"-h",          "--help",    "--version", "--size",   "--bounds",
                                    "--grid",      "--no-grid", "--step",    "--color",  "--y",
                                    "--x",         "--set",     "--axes",    "--legend", "--title",
                                    "--antialias", "--table",   "-o",        "--output"};

bool isOptionName(const QString &arg)
{
    return std::any_of(std::begin(kOptionNames), std::end(kOptionNames),
                       [&arg](const char *name) { return arg == QLatin1String(name); });
}

} // namespace

ParseResult parseRenderOptions(const QStringList &args)
{
    ParseResult result;
    RenderOptions &o = result.options;
    QColor pendingColor;
    QString pendingColorText;

    int i = 0;
    // Takes the n values after the option at args[i]; false when they are
    // missing. An option name is never taken as a value: "--bounds 1 2 -o a.png"
    // lacks two bounds rather than having "-o" as one.
    auto values = [&](int n, QStringList &out) {
        const bool missing =
            i + n >= args.size() || std::any_of(args.begin() + i + 1, args.begin() + i + 1 + n,
                                                [](const QString &a) { return isOptionName(a); });
        if (missing) {
            result.error = QStringLiteral("option %1 needs %2 value%3")
                               .arg(args.at(i))
                               .arg(n)
                               .arg(n == 1 ? QString() : QStringLiteral("s"));
            return false;
        }
        out = args.mid(i + 1, n);
        i += n;
        return true;
    };

    for (; i < args.size(); ++i) {
        const QString arg = args.at(i);
        QStringList v;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            o.help = true;
        } else if (arg == QLatin1String("--version")) {
            o.version = true;
        } else if (arg == QLatin1String("--size")) {
            if (!values(1, v))
                return result;
            if (!parseSize(v.at(0), o.size)) {
                result.error = QStringLiteral("--size wants WIDTHxHEIGHT, each 1 to %1, not '%2'")
                                   .arg(kMaxSide)
                                   .arg(v.at(0));
                return result;
            }
        } else if (arg == QLatin1String("--bounds")) {
            if (!values(4, v))
                return result;
            for (int k = 0; k < 4; ++k)
                o.bounds[k] = v.at(k);
            o.boundsGiven = true;
        } else if (arg == QLatin1String("--grid")) {
            if (!values(2, v))
                return result;
            o.grid[0] = v.at(0);
            o.grid[1] = v.at(1);
            o.gridGiven = true;
            o.gridEnabled = true;
        } else if (arg == QLatin1String("--no-grid")) {
            o.gridEnabled = false;
        } else if (arg == QLatin1String("--step")) {
            if (!values(2, v))
                return result;
            if (!parseStep(v.at(0), o.xStep) || !parseStep(v.at(1), o.yStep)) {
                result.error = QStringLiteral("--step wants two whole numbers from %1 to %2, not "
                                              "'%3 %4'")
                                   .arg(kMinStep)
                                   .arg(kMaxStep)
                                   .arg(v.at(0), v.at(1));
                return result;
            }
        } else if (arg == QLatin1String("--color")) {
            if (!values(1, v))
                return result;
            pendingColor = parseColor(v.at(0));
            if (!pendingColor.isValid()) {
                result.error = QStringLiteral("--color wants RRGGBB (hexadecimal) or a colour "
                                              "name, not '%1'")
                                   .arg(v.at(0));
                return result;
            }
            pendingColorText = v.at(0);
        } else if (arg == QLatin1String("--y") || arg == QLatin1String("--x")) {
            if (!values(1, v))
                return result;
            PlotItem item;
            item.kind = PlotItem::Expression;
            item.text = v.at(0);
            // --y gives y in terms of x: the independent variable is x.
            item.indepVariable = arg == QLatin1String("--y") ? 'x' : 'y';
            item.color = pendingColor;
            item.option = arg;
            o.items.append(item);
            pendingColor = QColor();
            pendingColorText.clear();
        } else if (arg == QLatin1String("--set")) {
            if (!values(1, v))
                return result;
            PlotItem item;
            item.kind = PlotItem::SetFile;
            item.text = v.at(0);
            item.option = arg;
            o.items.append(item);
        } else if (arg == QLatin1String("--axes")) {
            o.axes = true;
        } else if (arg == QLatin1String("--legend")) {
            o.legend = true;
        } else if (arg == QLatin1String("--antialias")) {
            o.antialias = true;
        } else if (arg == QLatin1String("--title")) {
            if (!values(1, v))
                return result;
            o.title = v.at(0);
        } else if (arg == QLatin1String("--table")) {
            if (!values(1, v))
                return result;
            bool ok = false;
            o.tableRows = v.at(0).toInt(&ok);
            if (!ok || o.tableRows < kMinRows || o.tableRows > kMaxRows) {
                result.error = QStringLiteral("--table wants a whole number of rows from %1 to %2, "
                                              "not '%3'")
                                   .arg(kMinRows)
                                   .arg(kMaxRows)
                                   .arg(v.at(0));
                return result;
            }
        } else if (arg == QLatin1String("-o") || arg == QLatin1String("--output")) {
            if (!values(1, v))
                return result;
            o.output = v.at(0);
        } else {
            result.error = QStringLiteral("unknown option '%1'").arg(arg);
            return result;
        }
    }

    if (o.help || o.version)
        return result;
    if (pendingColor.isValid()) {
        result.error =
            QStringLiteral("--color %1 is not followed by --y or --x").arg(pendingColorText);
    } else if (o.tableRows > 0) {
        o.format = RenderOptions::Csv;
        if (!o.output.isEmpty() && !o.output.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
            result.error = QStringLiteral("--table writes CSV: its output '%1' must end in .csv "
                                          "(or give no -o for standard output)")
                               .arg(o.output);
    } else if (o.output.isEmpty()) {
        result.error = QStringLiteral("no output file: give -o OUT.png or -o OUT.svg");
    } else if (o.output.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        result.error = QStringLiteral("output '%1' is a table: it needs --table N").arg(o.output);
    } else if (o.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
        o.format = RenderOptions::Png;
    } else if (o.output.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        o.format = RenderOptions::Svg;
    } else {
        result.error = QStringLiteral("output '%1' must end in .png or .svg").arg(o.output);
    }
    return result;
}

QString renderUsage()
{
    return QStringLiteral("usage: tavlo-render [--size WxH] [--bounds XMIN XMAX YMIN YMAX]\n"
                          "                    [--grid GX GY | --no-grid] [--step XSTEP YSTEP]\n"
                          "                    (--set FILE | [--color RRGGBB] --y EXPR | [--color "
                          "RRGGBB] --x EXPR)...\n"
                          "                    [--axes] [--legend] [--title TEXT] [--antialias]\n"
                          "                    (-o OUT.png|OUT.svg | --table N [-o OUT.csv])\n");
}

QString renderHelp()
{
    return renderUsage() + QStringLiteral(R"(
Draws Tavlo's plot without a display and writes it to a PNG or SVG file. The
picture is the one the plotter's window shows for the same functions and
settings; at the default size it is the window's plot area pixel for pixel.

Functions, drawn in the order given (they get the ids 0, 1, 2, ... in that
order, so an expression can refer to an earlier function as f(0)):
  --set FILE        the functions of a saved function set, with their colours
                    and their enabled flags
  --y EXPR          y in terms of x, e.g. --y 'sin(x)*2'
  --x EXPR          x in terms of y, e.g. --x 'y^2'
  --color RRGGBB    colour of the next --y or --x (also #RRGGBB or a name
                    such as red); without it the expressions take the colours
                    d00000, 0000d0, 008000, c000c0, d07000, 008080, 000000 in turn

Window (values are expressions, as in the plotter's fields: 2*pi()):
  --size WxH                    picture size in pixels (default 232x216, 1 to 4096)
  --bounds XMIN XMAX YMIN YMAX  visible ranges (default -10 10 -10 10)
  --grid GX GY                  grid spacing (default 1 1)
  --no-grid                     no grid lines, only the axes
  --step XSTEP YSTEP            sampling step in pixels for functions of x
                                and of y, 1 to 10 (default 4 4); step 1
                                shows asymptotes as dotted lines

Decorations (none by default, so the picture stays the window's):
  --axes            numbers at the grid lines (at round steps without a grid),
                    along the axes, or along the edges when an axis is outside
  --legend          each drawn function's text in its colour, in the corner
                    where it covers the least of the curves
  --title TEXT      a title at the top
  --antialias       smooth curves and text

Output:
  -o, --output FILE   the picture; .png or .svg chooses the format
  --table N           instead of a picture, a CSV table of N evenly spaced
                      values of each drawn function's variable over its bounds
                      (x for --y, y for --x), 2 to 1000000; to standard output,
                      or to -o FILE ending in .csv
  -h, --help          this text
  --version           the program's version

Exit status:
  0  the picture or table was written
  1  bad usage: unknown option, missing or malformed value (a bad --size,
     --step, --color or --table N), an output name with the wrong ending
  2  bad expression: a function, bound or grid text that does not compile
     (the message points at the character), equal, reversed or infinite
     bounds, or a grid spacing that is not above 0
  3  bad set file: it cannot be read, is not a function set, or is damaged
  4  the output file or standard output cannot be written
)");
}
