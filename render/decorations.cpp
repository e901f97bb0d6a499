#include "decorations.h"

#include "options.h"
#include "vectorstate.h"

#include "model/function.h"
#include "model/numbertext.h"
#include "plot/graphwidget.h"

#include <QHash>
#include <QSet>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace {

const QColor kAxisColor(140, 140, 140); // the redraw's axis colour
const QColor kNumberColor(80, 80, 80);
const QColor kTitleColor(0, 0, 0);

// One place on an axis that may get a number: its value and its pixel column
// (values of x) or row (values of y). index counts steps from 0, for thinning.
struct Mark
{
    double value;
    int pixel;
    long long index;
};

// A text drawn on one line: its line breaks and tabs become spaces.
QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t') ||
            c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return text;
}

// The smallest of 1, 2, 5 times a power of ten that is at least `least`.
double roundStep(double least)
{
    const double decade = std::pow(10.0, std::floor(std::log10(least)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * decade >= least)
            return m * decade;
    return 10 * decade;
}

class Layout
{
public:
    Layout(GraphWidget &graph, const RenderOptions &o)
        : g(graph)
        , width(graph.getPixXMax())
        , height(graph.getPixYMax())
    {
        const int px = std::clamp(int(std::lround(std::min(width, height) * 0.045)), 9, 18);
        font = QFont(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(px);
        font.setStyleStrategy(o.antialias ? QFont::PreferAntialias : QFont::NoAntialias);
    }

    Decorations run(const RenderOptions &o)
    {
        if (!o.title.isEmpty())
            title(o.title);
        if (o.legend)
            legend();
        if (o.axes) {
            xNumbers();
            yNumbers();
        }
        return d;
    }

private:
    // Places text with its anchor at (x, baseline); false, placing nothing,
    // when it would leave the picture or touch a text or box placed before.
    bool place(const QString &text, double x, double baseline, Qt::Alignment align,
               const QColor &color, const QFont &f, bool mustFit = true)
    {
        const QFontMetricsF fm(f);
        const double w = fm.horizontalAdvance(text);
        const double left = align == Qt::AlignHCenter ? x - w / 2
                            : align == Qt::AlignRight ? x - w
                                                      : x;
        QRectF box(left, baseline - fm.ascent(), w, fm.ascent() + fm.descent());
        if (mustFit) {
            // A number at an edge slides inward, still touching its line.
            const QPointF slide(box.left() < 0        ? -box.left()
                                : box.right() > width ? width - box.right()
                                                      : 0.0,
                                box.top() < 0           ? -box.top()
                                : box.bottom() > height ? height - box.bottom()
                                                        : 0.0);
            if (std::fabs(slide.x()) > box.width() / 2 || std::fabs(slide.y()) > box.height() / 2)
                return false;
            box.translate(slide);
            x += slide.x();
            baseline += slide.y();
            if (box.left() < 0 || box.top() < 0 || box.right() > width || box.bottom() > height)
                return false;
            const QRectF apart = box.adjusted(-2, -1, 2, 1);
            for (const QRectF &other : taken)
                if (apart.intersects(other))
                    return false;
        }
        taken.append(box);
        d.texts.append({text, QPointF(x, baseline), align, color, f, box});
        return true;
    }

    void title(const QString &text)
    {
        QFont f = font;
        f.setPixelSize(font.pixelSize() * 5 / 4);
        f.setBold(true);
        const QFontMetricsF fm(f);
        place(fm.elidedText(oneLine(text), Qt::ElideRight, width - 6), width / 2.0, 3 + fm.ascent(),
              Qt::AlignHCenter, kTitleColor, f, false);
        top = int(std::ceil(3 + fm.height()));
    }

    // How much of the curves each of two boxes one above the other would hide:
    // the pixel rows (or columns) each curve's segments cover in the boxes'
    // columns (or rows), sampled once per pixel the way the curves are.
    std::pair<double, double> coverage(const QRect &upper, const QRect &lower)
    {
        const float xMin = g.getXMin(), yMin = g.getYMin();
        const float xUpp = g.getXUnitsPerPixel(), yUpp = g.getYUnitsPerPixel();
        std::pair<double, double> covered{0, 0};
        clearUpperVectorHalves();
        for (const Function *f = g.getFunctions(); f; f = f->getNextFunction()) {
            if (!f->isDrawn())
                continue;
            const bool ofX = f->getIndepVariable() == 'x';
            // Along the sampled axis (columns, or rows counted from the
            // bottom) both boxes span the same pixels.
            const int from = ofX ? upper.left() : 0;
            const int to = ofX ? upper.right() : height;
            double previous = NAN;
            for (int k = from - 1; k <= to + 1; ++k) {
                const float at = ofX ? g.xAt(float(k)) : g.yAt(float(height - k));
                const float v = narrow(f->evaluate(double(at)));
                const double p =
                    ofX ? double(height) - double(v - yMin) / yUpp : double(v - xMin) / xUpp;
                if (!std::isnan(previous) && !std::isnan(p) && k >= from) {
                    const double a = std::min(previous, p);
                    const double b = std::max(previous, p) + 1;
                    auto add = [&](const QRect &box, double &sum) {
                        if (!ofX && (height - k < box.top() || height - k > box.bottom()))
                            return;
                        const double lo = ofX ? box.top() : box.left();
                        const double hi = ofX ? box.bottom() + 1 : box.right() + 1;
                        sum += std::max(0.0, std::min(b, hi) - std::max(a, lo));
                    };
                    add(upper, covered.first);
                    add(lower, covered.second);
                }
                previous = p;
            }
        }
        return covered;
    }

    void legend()
    {
        QList<const Function *> shown;
        for (const Function *f = g.getFunctions(); f; f = f->getNextFunction())
            if (f->isDrawn())
                shown.append(f);
        if (shown.isEmpty())
            return;
        const QFontMetricsF fm(font);
        const int pad = std::max(3, font.pixelSize() / 3);
        const int swatch = font.pixelSize() * 2;
        // A long text is cut short, so the legend leaves the plot visible.
        QStringList texts;
        double textWidth = 0;
        for (const Function *f : shown) {
            texts << fm.elidedText(oneLine(f->getString()), Qt::ElideRight, width / 2.0);
            textWidth = std::max(textWidth, fm.horizontalAdvance(texts.last()));
        }
        const int line = int(std::ceil(fm.height()));
        const QSize size(pad * 3 + swatch + int(std::ceil(textWidth)),
                         pad * 2 + line * int(shown.size()));
        const int m = 4;
        const QPoint corners[] = {{width - m - size.width(), top + m},
                                  {m, top + m},
                                  {width - m - size.width(), height - m - size.height()},
                                  {m, height - m - size.height()}};
        double covered[4];
        for (int k = 0; k < 2; ++k)
            std::tie(covered[k], covered[k + 2]) =
                coverage(QRect(corners[k], size), QRect(corners[k + 2], size));
        const QRect best(corners[std::min_element(covered, covered + 4) - covered], size);
        d.legendBox = best;
        taken.append(QRectF(best));
        for (int i = 0; i < shown.size(); ++i) {
            const int rowTop = best.top() + pad + i * line;
            const int mid = rowTop + line / 2;
            d.swatches.append(QLine(best.left() + pad, mid, best.left() + pad + swatch, mid));
            d.swatchColors.append(shown[i]->getColor());
            d.texts.append({texts[i], QPointF(best.left() + pad * 2 + swatch, rowTop + fm.ascent()),
                            Qt::AlignLeft, shown[i]->getColor(), font, QRectF()});
        }
    }

    // The places for numbers along one axis: its grid lines (`grid`, drawn
    // across it) when there are any, every k-th of them so that the numbers
    // keep apart; otherwise round steps at least `least` pixels apart.
    QList<Mark> marks(const QList<GraphWidget::GridLine> &grid, bool ofX, double least)
    {
        const float lo = ofX ? g.getXMin() : g.getYMin();
        const float hi = ofX ? g.getXMax() : g.getYMax();
        const float upp = ofX ? g.getXUnitsPerPixel() : g.getYUnitsPerPixel();
        const float spacing = ofX ? g.getGridX() : g.getGridY();
        QList<Mark> out;
        if (!(upp > 0))
            return out;
        if (!grid.isEmpty()) {
            const double px = double(spacing) / double(upp);
            // Every 1st, 2nd, 5th, 10th, 20th, ... line.
            long long every = 1;
            for (int k = 0; every * px < least; ++k)
                every = k % 3 == 1 ? every / 2 * 5 : every * 2;
            // The lines by the multiple of the spacing they stand for, and by
            // pixel: where lines lie closer than a pixel, each pixel shows
            // only one of them, so a multiple may be drawn as another's line.
            QHash<long long, int> pixelOf;
            QSet<int> drawn;
            for (const GraphWidget::GridLine &l : grid) {
                pixelOf.insert(std::llround(double(l.value) / double(spacing)), l.pixel);
                drawn.insert(l.pixel);
            }
            const double unit = double(every) * double(spacing);
            const double first = std::ceil(double(lo) / unit);
            const double last = std::floor(double(hi) / unit);
            for (double k = first; k <= last && last - first < 10000; k += 1) {
                const long long index = (long long)k * every;
                const float v = narrow(double(index) * double(spacing));
                const int near = ofX ? g.columnOf(v) : g.rowOf(v);
                const int pixel = pixelOf.value(index, drawn.contains(near) ? near : -1);
                // Named as the multiple, not as the running sum that drew it
                // (5, not 5.00002, with a spacing of 0.0001).
                if (pixel >= 0)
                    out.append({double(index) * double(spacing), pixel, index});
            }
            // In the order the grid is drawn, which settles which of two
            // numbers that would touch is shown.
            std::sort(out.begin(), out.end(),
                      [](const Mark &a, const Mark &b) { return a.pixel < b.pixel; });
            return out;
        }
        const double step = roundStep(least * double(upp));
        const double first = std::ceil(double(lo) / step);
        const double last = std::floor(double(hi) / step);
        if (!(last - first < 10000))
            return out;
        for (double k = first; k <= last; k += 1) {
            const float v = narrow(k * step);
            out.append({k * step, ofX ? g.columnOf(v) : g.rowOf(v), (long long)k});
        }
        return out;
    }

    // The x axis's row and the y axis's column, as the redraw draws them.
    int axisRow() const { return g.rowOf(0); }
    int axisColumn() const { return g.columnOf(0); }

    static QString numberText(double v) { return formatNumber(v == 0 ? 0.0 : v); }

    void xNumbers()
    {
        const QFontMetricsF fm(font);
        const int row = axisRow();
        const bool onAxis = row >= 0 && row < height;
        const int column = axisColumn();
        const bool yAxisShown = column >= 0 && column < width;
        // Wide enough for the widest number the axis can have, and a gap.
        const double widest = std::max(fm.horizontalAdvance(numberText(g.getXMin())),
                                       fm.horizontalAdvance(numberText(g.getXMax())));
        const QList<GraphWidget::GridLine> grid = g.gridLines(Qt::Vertical);
        const QList<Mark> ms = marks(grid, true, widest + font.pixelSize());
        double baseline;
        if (row < 0)
            baseline = 2 + fm.ascent();
        else if (row >= height || row + 3 + fm.height() > height)
            baseline = std::min(row, height) - 3 - fm.descent();
        else
            baseline = row + 3 + fm.ascent();
        const bool ticks = grid.isEmpty() && onAxis;
        for (const Mark &m : ms) {
            if (m.value == 0 && onAxis && yAxisShown)
                continue;
            if (place(numberText(m.value), m.pixel, baseline, Qt::AlignHCenter, kNumberColor,
                      font) &&
                ticks)
                d.ticks.append(QLine(m.pixel, row - 2, m.pixel, row + 2));
        }
    }

    void yNumbers()
    {
        const QFontMetricsF fm(font);
        const int column = axisColumn();
        const bool onAxis = column >= 0 && column < width;
        const int row = axisRow();
        const bool xAxisShown = row >= 0 && row < height;
        const QList<GraphWidget::GridLine> grid = g.gridLines(Qt::Horizontal);
        const QList<Mark> ms = marks(grid, false, fm.height() + font.pixelSize() / 2.0);
        double widest = 0;
        for (const Mark &m : ms)
            widest = std::max(widest, fm.horizontalAdvance(numberText(m.value)));
        double x;
        Qt::Alignment align;
        if (column < 0) {
            x = 2;
            align = Qt::AlignLeft;
        } else if (column >= width) {
            x = width - 2;
            align = Qt::AlignRight;
        } else if (column - 3 - widest >= 0) {
            x = column - 3;
            align = Qt::AlignRight;
        } else {
            x = column + 4;
            align = Qt::AlignLeft;
        }
        const double middle = (fm.ascent() - fm.descent()) / 2;
        const bool ticks = grid.isEmpty() && onAxis;
        for (const Mark &m : ms) {
            if (m.value == 0 && onAxis && xAxisShown)
                continue;
            if (place(numberText(m.value), x, m.pixel + middle, align, kNumberColor, font) && ticks)
                d.ticks.append(QLine(column - 2, m.pixel, column + 2, m.pixel));
        }
    }

    GraphWidget &g;
    const int width;
    const int height;
    QFont font;
    int top = 0; // below the title
    QList<QRectF> taken;
    Decorations d;
};

} // namespace

Decorations layOutDecorations(GraphWidget &graph, const RenderOptions &options)
{
    if (!options.axes && !options.legend && options.title.isEmpty())
        return {};
    return Layout(graph, options).run(options);
}

void drawDecorationShapes(QPainter &p, const Decorations &d)
{
    p.setPen(QPen(kAxisColor, 0));
    p.drawLines(d.ticks.constData(), int(d.ticks.size()));
    if (!d.legendBox.isEmpty()) {
        p.setBrush(Qt::white);
        p.drawRect(d.legendBox.adjusted(0, 0, -1, -1));
        p.setBrush(Qt::NoBrush);
    }
    for (int i = 0; i < d.swatches.size(); ++i) {
        p.setPen(QPen(d.swatchColors[i], 0));
        p.drawLine(d.swatches[i]);
    }
}

void drawDecorationTexts(QPainter &p, const Decorations &d)
{
    for (const PlacedText &t : d.texts) {
        const double w = QFontMetricsF(t.font).horizontalAdvance(t.text);
        const double left = t.align == Qt::AlignHCenter ? t.anchor.x() - w / 2
                            : t.align == Qt::AlignRight ? t.anchor.x() - w
                                                        : t.anchor.x();
        p.setFont(t.font);
        p.setPen(t.color);
        p.drawText(QPointF(left, t.anchor.y()), t.text);
    }
}
