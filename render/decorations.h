#pragma once

#include <QColor>
#include <QFont>
#include <QLine>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>

class GraphWidget;
class QPainter;
struct RenderOptions;

// A text on the plot. Its anchor lies on the baseline, at the text's left end,
// centre or right end as align says.
struct PlacedText
{
    QString text;
    QPointF anchor;
    Qt::Alignment align = Qt::AlignLeft; // AlignLeft, AlignHCenter or AlignRight
    QColor color;
    QFont font;
    QRectF box; // the pixels it covers, for keeping texts apart
};

// What --axes, --legend and --title add over the window's picture: lines and
// boxes drawn with a painter, then texts, which an SVG writes as text elements.
struct Decorations
{
    QList<QLine> ticks; // in the axis colour, where there are no grid lines
    QRect legendBox;    // empty without a legend
    QList<QLine> swatches;
    QList<QColor> swatchColors;
    QList<PlacedText> texts;
    bool isEmpty() const { return ticks.isEmpty() && legendBox.isEmpty() && texts.isEmpty(); }
};

// Lays out the decorations for the graph as its last redraw left it (scale
// and grid of that redraw). Needs the font database only when there is text.
Decorations layOutDecorations(GraphWidget &graph, const RenderOptions &options);

// The lines and boxes; then, for raster pictures, the texts.
void drawDecorationShapes(QPainter &p, const Decorations &d);
void drawDecorationTexts(QPainter &p, const Decorations &d);
