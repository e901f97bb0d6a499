#pragma once

#include <QColor>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// One source of functions, in command-line order: a saved set or one expression.
struct PlotItem
{
    enum Kind { SetFile, Expression };
    Kind kind = Expression;
    QString text; // the path of the set, or the expression as typed
    char indepVariable = 'x';
    QColor color;   // invalid: the next colour of the default palette
    QString option; // the option that gave it, for messages ("--y")
};

// The command line of tavlo-render, checked for form only; expressions are
// judged later by the formula engine.
struct RenderOptions
{
    enum Format { Png, Svg, Csv };

    QSize size{232, 216};
    bool boundsGiven = false;
    QString bounds[4]; // x-min, x-max, y-min, y-max, as the four bound fields take them
    bool gridGiven = false;
    QString grid[2]; // spacing of the vertical and the horizontal grid lines
    bool gridEnabled = true;
    int xStep = 4;
    int yStep = 4;
    QList<PlotItem> items;
    bool axes = false;      // numbers at the grid lines
    bool legend = false;    // the functions' texts in their colours
    QString title;          // empty: none
    bool antialias = false; // smooth curves and text
    int tableRows = 0;      // above 0: a CSV table of that many values instead of a picture
    bool points = false;    // the CSV rows of roots, extrema and crossings instead of a picture
    QString output;         // empty only for CSV, which then goes to standard output
    Format format = Png;
    bool help = false;
    bool version = false;
};

struct ParseResult
{
    RenderOptions options;
    QString error; // empty when the command line is well formed
};

// Parses the arguments after the program name. Values are taken verbatim, so
// "--bounds -5 5 -5 5" needs no quoting of the negative numbers.
ParseResult parseRenderOptions(const QStringList &args);

QString renderUsage();
// The usage, then every option with its text, then the exit statuses.
QString renderHelp();
