#include "options.h"

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

// What the handlers of the options work on.
struct Parser
{
    RenderOptions &o;
    QColor pendingColor; // of the next --y or --x
    QString pendingColorText;
    bool outputGiven = false;
};

// Takes the option's values (as many as it names) and returns an error, or
// an empty text when they are good.
using Handler = QString (*)(Parser &, const QStringList &);

struct Option
{
    const char *shortName; // or null
    const char *name;      // null: a heading of the help, which `help` holds
    const char *values;    // the values' names, space-separated; "" for none
    const char *help;      // lines of the help text
    Handler handle;
};

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

QString addExpression(Parser &p, const QString &text, char indepVariable, const char *option)
{
    PlotItem item;
    item.text = text;
    item.indepVariable = indepVariable;
    item.color = p.pendingColor;
    item.option = QLatin1String(option);
    p.o.items.append(item);
    p.pendingColor = QColor();
    p.pendingColorText.clear();
    return {};
}

const Option kOptions[] = {
    {nullptr, nullptr, "",
     "Functions, drawn in the order given (they get the ids 0, 1, 2, ... in that\n"
     "order, so an expression can refer to an earlier function as f(0))",
     nullptr},
    {nullptr, "--set", "FILE",
     "the functions of a saved function set, with\ntheir colours and their enabled flags",
     [](Parser &p, const QStringList &v) {
         PlotItem item;
         item.kind = PlotItem::SetFile;
         item.text = v[0];
         p.o.items.append(item);
         return QString();
     }},
    // --y gives y in terms of x: the independent variable is x.
    {nullptr, "--y", "EXPR", "y in terms of x, e.g. --y 'sin(x)*2'",
     [](Parser &p, const QStringList &v) { return addExpression(p, v[0], 'x', "--y"); }},
    {nullptr, "--x", "EXPR", "x in terms of y, e.g. --x 'y^2'",
     [](Parser &p, const QStringList &v) { return addExpression(p, v[0], 'y', "--x"); }},
    {nullptr, "--color", "RRGGBB",
     "colour of the next --y or --x (also #RRGGBB or\na name such as red); without it the "
     "expressions\ntake d00000, 0000d0, 008000, c000c0, d07000,\n008080 and 000000 in turn",
     [](Parser &p, const QStringList &v) {
         p.pendingColor = parseColor(v[0]);
         p.pendingColorText = v[0];
         return p.pendingColor.isValid()
                    ? QString()
                    : QStringLiteral(
                          "--color wants RRGGBB (hexadecimal) or a colour name, not '%1'")
                          .arg(v[0]);
     }},

    {nullptr, nullptr, "", "Window (values are expressions, as in the plotter's fields: 2*pi())",
     nullptr},
    {nullptr, "--size", "WxH", "picture size in pixels, 1 to 4096 (default\n232x216)",
     [](Parser &p, const QStringList &v) {
         return parseSize(v[0], p.o.size)
                    ? QString()
                    : QStringLiteral("--size wants WIDTHxHEIGHT, each 1 to %1, not '%2'")
                          .arg(kMaxSide)
                          .arg(v[0]);
     }},
    {nullptr, "--bounds", "XMIN XMAX YMIN YMAX", "visible ranges (default -10 10 -10 10)",
     [](Parser &p, const QStringList &v) {
         std::copy(v.begin(), v.end(), std::begin(p.o.bounds));
         p.o.boundsGiven = true;
         return QString();
     }},
    {nullptr, "--grid", "GX GY", "grid spacing (default 1 1)",
     [](Parser &p, const QStringList &v) {
         std::copy(v.begin(), v.end(), std::begin(p.o.grid));
         p.o.gridGiven = true;
         p.o.gridEnabled = true;
         return QString();
     }},
    {nullptr, "--no-grid", "", "no grid lines, only the axes",
     [](Parser &p, const QStringList &) {
         p.o.gridEnabled = false;
         return QString();
     }},
    {nullptr, "--step", "XSTEP YSTEP",
     "sampling step in pixels for functions of x and\nof y, 1 to 10 (default 4 4); step 1 shows\n"
     "asymptotes as dotted lines",
     [](Parser &p, const QStringList &v) {
         return parseStep(v[0], p.o.xStep) && parseStep(v[1], p.o.yStep)
                    ? QString()
                    : QStringLiteral("--step wants two whole numbers from %1 to %2, not '%3 %4'")
                          .arg(kMinStep)
                          .arg(kMaxStep)
                          .arg(v[0], v[1]);
     }},

    {nullptr, nullptr, "", "Decorations (none by default, so the picture stays the window's)",
     nullptr},
    {nullptr, "--axes", "",
     "numbers at the grid lines (at round steps\nwithout a grid), along the axes, or along the\n"
     "edges when an axis is outside",
     [](Parser &p, const QStringList &) {
         p.o.axes = true;
         return QString();
     }},
    {nullptr, "--legend", "",
     "each drawn function's text in its colour, in\nthe corner where it covers the least of the\n"
     "curves",
     [](Parser &p, const QStringList &) {
         p.o.legend = true;
         return QString();
     }},
    {nullptr, "--title", "TEXT", "a title at the top, cut short when too wide",
     [](Parser &p, const QStringList &v) {
         p.o.title = v[0];
         return QString();
     }},
    {nullptr, "--antialias", "", "smooth curves and text",
     [](Parser &p, const QStringList &) {
         p.o.antialias = true;
         return QString();
     }},

    {nullptr, nullptr, "", "Output", nullptr},
    {"-o", "--output", "FILE", "the picture; .png or .svg chooses the format",
     [](Parser &p, const QStringList &v) {
         if (p.outputGiven)
             return QStringLiteral("only one output: -o '%1' comes after -o '%2'")
                 .arg(v[0], p.o.output);
         p.outputGiven = true;
         p.o.output = v[0];
         return QString();
     }},
    {nullptr, "--table", "N",
     "instead of a picture, a CSV table of N evenly\nspaced values of each drawn function's\n"
     "variable over its bounds (x for --y, y for\n--x), 2 to 1000000; to standard output, or to\n"
     "-o FILE ending in .csv",
     [](Parser &p, const QStringList &v) {
         bool ok = false;
         p.o.tableRows = v[0].toInt(&ok);
         return ok && p.o.tableRows >= kMinRows && p.o.tableRows <= kMaxRows
                    ? QString()
                    : QStringLiteral("--table wants a whole number of rows from %1 to %2, not '%3'")
                          .arg(kMinRows)
                          .arg(kMaxRows)
                          .arg(v[0]);
     }},
    {nullptr, "--points", "",
     "instead of a picture, CSV rows of every root,\nminimum, maximum and crossing of the drawn\n"
     "functions inside the bounds, found on samples a\npixel of --size apart; to standard output, "
     "or\n"
     "to -o FILE ending in .csv",
     [](Parser &p, const QStringList &) {
         p.o.points = true;
         return QString();
     }},
    {"-h", "--help", "", "this text",
     [](Parser &p, const QStringList &) {
         p.o.help = true;
         return QString();
     }},
    {nullptr, "--version", "", "the program's version",
     [](Parser &p, const QStringList &) {
         p.o.version = true;
         return QString();
     }},
};

const Option *findOption(const QString &arg)
{
    for (const Option &option : kOptions) {
        if (option.name && (arg == QLatin1String(option.name) ||
                            (option.shortName && arg == QLatin1String(option.shortName))))
            return &option;
    }
    return nullptr;
}

// What the whole command line must also satisfy, and the format the output's
// name chooses.
QString checkWhole(Parser &p)
{
    RenderOptions &o = p.o;
    if (p.pendingColor.isValid())
        return QStringLiteral("--color %1 is not followed by --y or --x").arg(p.pendingColorText);
    if (o.points && o.tableRows > 0)
        return QStringLiteral("--points and --table both write CSV: give one of them");
    if (o.tableRows > 0 || o.points) {
        o.format = RenderOptions::Csv;
        if (!o.output.isEmpty() && !o.output.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
            return QStringLiteral("%1 writes CSV: its output '%2' must end in .csv (or give "
                                  "no -o for standard output)")
                .arg(QLatin1String(o.points ? "--points" : "--table"), o.output);
        return {};
    }
    if (o.output.isEmpty())
        return QStringLiteral("no output file: give -o OUT.png or -o OUT.svg");
    if (o.output.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return QStringLiteral("output '%1' is CSV: it needs --table N or --points").arg(o.output);
    if (o.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        o.format = RenderOptions::Png;
    else if (o.output.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        o.format = RenderOptions::Svg;
    else
        return QStringLiteral("output '%1' must end in .png or .svg").arg(o.output);
    return {};
}

} // namespace

ParseResult parseRenderOptions(const QStringList &args)
{
    ParseResult result;
    Parser parser{result.options, QColor(), QString(), false};
    for (int i = 0; i < args.size(); ++i) {
        const Option *option = findOption(args[i]);
        if (!option) {
            result.error = QStringLiteral("unknown option '%1'").arg(args[i]);
            return result;
        }
        const int n =
            int(QString::fromLatin1(option->values).split(' ', Qt::SkipEmptyParts).size());
        // An option name is never taken as a value: "--bounds 1 2 -o a.png"
        // lacks two bounds rather than having "-o" as one.
        if (i + n >= args.size() ||
            std::any_of(args.begin() + i + 1, args.begin() + i + 1 + n,
                        [](const QString &a) { return findOption(a) != nullptr; })) {
            result.error = QStringLiteral("option %1 needs %2 value%3")
                               .arg(args[i])
                               .arg(n)
                               .arg(n == 1 ? QString() : QStringLiteral("s"));
            return result;
        }
        result.error = option->handle(parser, args.mid(i + 1, n));
        if (!result.error.isEmpty())
            return result;
        i += n;
    }
    if (!result.options.help && !result.options.version)
        result.error = checkWhole(parser);
    return result;
}

QString renderUsage()
{
    return QStringLiteral("usage: tavlo-render [--size WxH] [--bounds XMIN XMAX YMIN YMAX]\n"
                          "                    [--grid GX GY | --no-grid] [--step XSTEP YSTEP]\n"
                          "                    (--set FILE | [--color RRGGBB] --y EXPR | [--color "
                          "RRGGBB] --x EXPR)...\n"
                          "                    [--axes] [--legend] [--title TEXT] [--antialias]\n"
                          "                    (-o OUT.png|OUT.svg | --table N [-o OUT.csv] |\n"
                          "                     --points [-o OUT.csv])\n");
}

QString renderHelp()
{
    constexpr int column = 32; // where the options' texts start
    QString help = renderUsage() + QStringLiteral(R"(
Draws Tavlo's plot without a display and writes it to a PNG or SVG file. The
picture is the one the plotter's window shows for the same functions and
settings; at the default size it is the window's plot area pixel for pixel.
With --table or --points it writes CSV instead, and the picture's other
options (--axes, --legend, --title, --antialias, --grid, --step, --color) have
no effect.
)");
    for (const Option &option : kOptions) {
        const QStringList lines = QString::fromLatin1(option.help).split('\n');
        if (!option.name) {
            help += QLatin1Char('\n') + lines.join(QLatin1Char('\n')) + QStringLiteral(":\n");
            continue;
        }
        QString names;
        if (option.shortName)
            names += QLatin1String(option.shortName) + QStringLiteral(", ");
        names += QLatin1String(option.name) + QLatin1Char(' ') + QLatin1String(option.values);
        help += names.trimmed().prepend(QStringLiteral("  ")).leftJustified(column - 1) + ' ' +
                lines.join(QLatin1Char('\n') + QString(column, QLatin1Char(' '))) + '\n';
    }
    return help + QStringLiteral(R"(
Exit status:
  0  the picture, table or points were written
  1  bad usage: unknown option, missing or malformed value (a bad --size,
     --step, --color or --table N), an output name with the wrong ending, a
     second -o, an output that is one of the --set files, or --table with
     --points
  2  bad expression: a function, bound or grid text that does not compile
     (the message points at the character), equal, reversed or infinite
     bounds, or a grid spacing that is not above 0
  3  bad set file: it cannot be read, is not a function set, or is damaged
  4  the output file or standard output cannot be written (the message says
     why: permission denied, no space left on device, ...)
)");
}
