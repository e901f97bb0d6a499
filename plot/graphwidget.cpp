#include "plot/graphwidget.h"

#include "model/function.h"
#include "model/numbertext.h"

#include <QHash>
#include <QLine>
#include <QPaintEngine>
#include <QPainter>
#include <QVarLengthArray>
#include <QPalette>
#include <QPen>
#include <QRectF>
#include <QTransform>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// The previous sample of a curve of x (a y value) and of a curve of y (an x
// value). One of each for all curves and all redraws, so a curve starts from
// where the curve drawn before it left off.
float old_graph_y = 0;
float old_graph_x = 0;

// Arguments and values of the curve being drawn, kept from one curve to the
// next so that drawing allocates only when a curve has more samples than any
// before it.
std::vector<double> curveArguments;
std::vector<double> curveValues;

// Pixel positions that cannot be converted (infinite, NaN, beyond int) are put
// this far outside the plot: lines to them are clipped like lines to infinity,
// and the conversions (and the finder's small offsets from them) stay in range.
constexpr float kFarPixel = 1e6f;

// How many pixels of a screen at a device-pixel ratio cover `logical` pixels:
// a fraction rounded up, so that the picture covers the widget (232 at 1.1:
// 256). The 1e-6 keeps an exact product exact: 200 x 1.1 is a hair above 220
// in doubles.
int devicePixels(int logical, qreal ratio)
{
    return int(std::ceil(logical * ratio - 1e-6));
}

// Units of a range per pixel over `pixels` pixels; 0 where there are none.
float unitsPerPixel(float lo, float hi, int pixels)
{
    return pixels > 0 ? std::fabs(hi - lo) / float(pixels) : 0.0f;
}

const QColor kGridColor(220, 220, 220);
const QColor kAxisColor(140, 140, 140);

// The running sum 0, s, s + s, ... of one run of grid lines, exactly as float
// additions make it, up to `limit`. Stepping through it one addition at a time
// would not finish for a spacing far below the window (1E-30 at -10 ... 10), so
// it moves in jumps: within one binade every addition rounds on the same grid,
// so after one addition there (which may round a tie the other way) each adds
// the same amount, and the values form a progression that is searched directly.
// Once an addition no longer changes the sum, the multiples lie closer together
// than floats, so every float from there on is the nearest float of a multiple:
// the sum then goes on by one float at a time.
class GridSum
{
public:
    GridSum(float spacing, float limit)
        : s(spacing)
        , limit(limit)
    {}
    float value() const { return a; }

    // Moves on to the first value at which `reached` holds (false before that
    // value, true from it on); false when the sum passes the limit first.
    template<typename Reached>
    bool advanceTo(Reached reached)
    {
        for (;;) {
            if (!(a <= limit))
                return false;
            if (reached(a))
                return true;
            const double top = binadeTop(a);
            const float next = step(a);
            if (a > 0 && (stalled || binadeTop(previous) == top)) {
                // a + j * d for j = 1 ... last; `last` keeps each of these
                // additions clear of the binade's top.
                const double d = double(next) - double(a);
                const double room = top - (stalled ? d : double(s)) - double(a);
                const double last = std::floor(room / d) - 1;
                if (last >= 2) {
                    auto at = [&](long long j) { return float(double(a) + double(j) * d); };
                    auto done = [&](long long j) {
                        const float v = at(j);
                        return !(v <= limit) || reached(v);
                    };
                    long long lo = 1;
                    long long hi = (long long)last;
                    if (done(hi)) {
                        while (lo < hi) {
                            const long long mid = lo + (hi - lo) / 2;
                            if (done(mid))
                                hi = mid;
                            else
                                lo = mid + 1;
                        }
                    }
                    previous = at(hi - 1);
                    a = at(hi);
                    continue;
                }
            }
            previous = a;
            a = next;
        }
    }

private:
    // The power of two that ends the binade of v (v > 0); the subnormals share
    // the grid of the lowest binade.
    static double binadeTop(float v)
    {
        if (v < FLT_MIN)
            return double(FLT_MIN);
        int e = 0;
        std::frexp(v, &e);
        return std::ldexp(1.0, e);
    }
    float step(float v)
    {
        if (!stalled) {
            const float w = v + s;
            if (w != v)
                return w;
            stalled = true;
        }
        return std::nextafter(v, INFINITY);
    }

    float a = 0;
    float previous = 0;
    const float s;
    const float limit;
    bool stalled = false;
};

// Calls draw(p, value) once for every pixel p in 0 ... last on which a grid line
// of one axis falls (value: the first multiple found on it): the lines at 0, spacing, 2 spacing,
// ... up to hi and at 0, -spacing, ... down to lo, as running float sums (their rounding decides
// the pixel each line lands on), where pixelOf (monotonic: rising when `rising`) maps a value to
// its pixel. The work goes by pixels, not by lines, so a spacing finer than a pixel turns every
// pixel it reaches into a line and still finishes at once. A spacing that is not positive draws no
// grid.
template<typename PixelOf, typename Draw>
void forGridPixels(float lo, float hi, float spacing, int last, bool rising, PixelOf pixelOf,
                   Draw draw)
{
    if (!(spacing > 0) || last < 0)
        return;
    std::vector<float> hit(size_t(last) + 1, NAN); // the multiple on each pixel
    for (const float sign : {1.0f, -1.0f}) {
        // The sum runs over magnitudes; the downward run's values are their
        // negatives, which is also what subtracting the spacing would give.
        GridSum sum(spacing, sign > 0 ? hi : -lo);
        const bool up = rising == (sign > 0); // the pixel grows with the sum
        auto pixel = [&](float a) { return pixelOf(sign * a); };
        if (!sum.advanceTo([&](float a) { return up ? pixel(a) >= 0 : pixel(a) <= last; }))
            continue;
        for (;;) {
            const int p = pixel(sum.value());
            if (p < 0 || p > last)
                break;
            if (std::isnan(hit[size_t(p)]))
                hit[size_t(p)] = sign * sum.value();
            if (!sum.advanceTo([&](float a) { return up ? pixel(a) > p : pixel(a) < p; }))
                break;
        }
    }
    for (int p = 0; p <= last; ++p) {
        if (!std::isnan(hit[size_t(p)]))
            draw(p, hit[size_t(p)]);
    }
}

// The texts of a pair of bounds: six significant digits, or, where those would
// read back as one value although the bounds differ (zoomed in deep at 5:
// "5" and "5"), as many more as it takes to keep them apart. Nine digits always
// read back as the float written.
std::pair<QString, QString> boundTexts(float lo, float hi)
{
    for (int digits = 6;; ++digits) {
        QString loText = formatNumber(lo, digits);
        QString hiText = formatNumber(hi, digits);
        if (digits == 9 || !(lo != hi) ||
            readValueText(loText).value != readValueText(hiText).value)
            return {loText, hiText};
    }
}

// Unlinks f from the list starting at head and returns the new first record.
// Every remaining record's listHead is pointed at that first record, so that
// getOtherString never starts from a freed record.
Function *unlinkRecord(Function *head, Function *f)
{
    Function *prev = f->getPrevFunction();
    Function *next = f->getNextFunction();
    if (prev)
        prev->setNextFunction(next);
    if (next)
        next->setPrevFunction(prev);
    if (head == f)
        head = next;
    f->setNextFunction(nullptr);
    f->setPrevFunction(nullptr);
    for (Function *r = head; r; r = r->getNextFunction())
        r->setListHead(head);
    return head;
}

} // namespace

GraphWidget::GraphWidget(QWidget *parent, const char *name)
    : QWidget(parent, Qt::WindowFlags())
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setNumberOfFunctions(0);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    // paintEvent covers the whole widget with the picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

GraphWidget::~GraphWidget()
{
    while (functions) {
        Function *next = functions->getNextFunction();
        delete functions;
        functions = next;
    }
    activeFunction = nullptr;
}

void GraphWidget::setGeometry(const QRect &r)
{
    QWidget::setGeometry(r.left(), r.top(), r.right() - r.left() + 1, r.bottom() - r.top() + 1);
    setLimits();
}

void GraphWidget::setLimits()
{
    pixXMin = 0;
    pixXMax = width();
    pixYMin = 0;
    pixYMax = height();
}

// ---- Values and pixels ----

int GraphWidget::Mapping::columnOf(float x) const
{
    return toPixel((x - xMin) / xUnitsPerPixel);
}

int GraphWidget::Mapping::rowOf(float y) const
{
    return toPixel(float(pixYMax) - (y - yMin) / yUnitsPerPixel);
}

float GraphWidget::Mapping::xAt(float column) const
{
    return xMin + column * xUnitsPerPixel;
}

float GraphWidget::Mapping::yAt(float row) const
{
    return yMin + (float(pixYMax) - row) * yUnitsPerPixel;
}

GraphWidget::Mapping GraphWidget::mapping() const
{
    return {xMin, yMin, xUnitsPerPixel, yUnitsPerPixel, pixXMax, pixYMax};
}

GraphWidget::Mapping GraphWidget::pictureMapping() const
{
    // The bounds as they stand, as for the widget's own pixels.
    Mapping m = drawnScale;
    m.xMin = xMin;
    m.yMin = yMin;
    return m;
}

QSize GraphWidget::pictureSize(qreal ratio) const
{
    return {devicePixels(width(), ratio), devicePixels(height(), ratio)};
}

int GraphWidget::toPixel(float position)
{
    // NaN goes where the classic float-to-int conversion put it: far up / left.
    if (std::isnan(position))
        return -int(kFarPixel);
    return int(std::clamp(position, -kFarPixel, kFarPixel));
}

QPoint GraphWidget::pointerPixel(const QPointF &position)
{
    // Synthetic events may carry any value; NaN counts as 0.
    const auto clamp = [](qreal v) {
        return std::isnan(v) ? qreal(0) : std::clamp(v, qreal(-kFarPixel), qreal(kFarPixel));
    };
    return QPointF(clamp(position.x()), clamp(position.y())).toPoint();
}

// ---- Redraw ----

void GraphWidget::drawGraph()
{
    ++redrawCount;
    const qreal ratio = devicePixelRatio();
    const QSize want = pictureSize(ratio).expandedTo(QSize(1, 1));
    if (image.paintingActive()) {
        // Re-entered from showBounds() within a redraw (the main window redraws
        // when the bound texts come back). The outer redraw repaints everything
        // after that step with the same state, so this one only has to run for
        // its effects on the state.
        QImage scratch(want, QImage::Format_RGB32);
        QPainter p(&scratch);
        paintGraph(p, ratio);
        return;
    }
    if (image.size() != want) {
        image = QImage(want, QImage::Format_RGB32);
        image.fill(palette().color(backgroundRole()));
    }
    pictureRatio = ratio;
    {
        QPainter p(&image);
        paintGraph(p, ratio);
    }
    describe();
    update();
}

void GraphWidget::describe()
{
    int drawn = 0;
    for (const Function *f = functions; f; f = f->getNextFunction())
        drawn += f->isDrawn();
    const QString curves =
        drawn == 1 ? tr("1 function drawn") : tr("%1 functions drawn").arg(drawn);
    const QString text = tr("x from %1 to %2, y from %3 to %4; %5")
                             .arg(formatNumber(xMin), formatNumber(xMax), formatNumber(yMin),
                                  formatNumber(yMax), curves);
    redrawDescription = text;
    if (text != accessibleDescription())
        setAccessibleDescription(text);
}

void GraphWidget::paintGraph(QPainter &p, qreal ratio)
{
    p.setRenderHint(QPainter::Antialiasing, antialiased);

    // The plot over the device's pixels is mapped as a plot that many pixels
    // large would be; the widget's own scale stays, for the pointer and the
    // finder.
    xUnitsPerPixel = unitsPerPixel(xMin, xMax, pixXMax);
    yUnitsPerPixel = unitsPerPixel(yMin, yMax, pixYMax);
    const int width = devicePixels(pixXMax, ratio);
    const int height = devicePixels(pixYMax, ratio);
    drawnScale.xUnitsPerPixel = unitsPerPixel(xMin, xMax, width);
    drawnScale.yUnitsPerPixel = unitsPerPixel(yMin, yMax, height);
    drawnScale.pixXMax = width;
    drawnScale.pixYMax = height;

    p.fillRect(QRect(0, 0, width, height), palette().color(backgroundRole()));

    if (showBoundsPending) {
        showBoundsPending = false;
        showBounds();
    }
    const Mapping m = pictureMapping();

    if (gridEnabled) {
        p.setPen(QPen(kGridColor, 0));
        // Equal or not finite bounds have no pixels to put lines on.
        if (m.xUnitsPerPixel > 0 && std::isfinite(m.xUnitsPerPixel)) {
            forGridPixels(
                xMin, xMax, gridX, m.pixXMax, true, [&](float g) { return m.columnOf(g); },
                [&](int c, float) { p.drawLine(c, 0, c, m.pixYMax); });
        }
        if (m.yUnitsPerPixel > 0 && std::isfinite(m.yUnitsPerPixel)) {
            forGridPixels(
                yMin, yMax, gridY, m.pixYMax, false, [&](float g) { return m.rowOf(g); },
                [&](int r, float) { p.drawLine(0, r, m.pixXMax, r); });
        }
    }

    // The axes lie at x = 0 and y = 0, on the widget or not.
    p.setPen(QPen(kAxisColor, 0));
    const int r0 = m.rowOf(0);
    p.drawLine(0, r0, m.pixXMax, r0);
    const int c0 = m.columnOf(0);
    p.drawLine(c0, 0, c0, m.pixYMax);

    drawCurves(p, m);
}

QList<GraphWidget::GridLine> GraphWidget::gridLines(Qt::Orientation lines) const
{
    QList<GridLine> out;
    if (!gridEnabled)
        return out;
    const auto add = [&out](int pixel, float value) { out.append({value, pixel}); };
    if (lines == Qt::Vertical) {
        if (xUnitsPerPixel > 0 && std::isfinite(xUnitsPerPixel)) {
            forGridPixels(
                xMin, xMax, gridX, pixXMax, true, [&](float g) { return columnOf(g); }, add);
        }
    } else if (yUnitsPerPixel > 0 && std::isfinite(yUnitsPerPixel)) {
        forGridPixels(
            yMin, yMax, gridY, pixYMax, false, [&](float g) { return rowOf(g); }, add);
    }
    return out;
}

namespace {

// Segments of one curve on their way to the painter, in their order. Runs of
// solid segments go out as one drawLines call, which draws each line exactly as
// its own drawLine would; each dotted segment is drawn on its own, so that it
// starts its dot pattern afresh; and the pen changes only between the two kinds.
// On a vector device (SVG) a run of joined solid segments goes out as one
// polyline instead, so each unbroken piece of a curve is one element; raster
// devices keep the separate lines, whose pixels a polyline's joins would change.
class SegmentBatch
{
public:
    SegmentBatch(QPainter &painter, const QColor &color)
        : p(painter)
        , solidPen(color, 0, Qt::SolidLine)
        , dotPen(color, 0, Qt::DotLine)
        , joined(painter.paintEngine() && painter.paintEngine()->type() != QPaintEngine::Raster)
    {
        p.setPen(solidPen);
        // What of the plane reaches the device, with two pixels to spare.
        const QPaintDevice *device = painter.device();
        const QTransform toDevice = painter.combinedTransform();
        if (!joined && device && toDevice.isInvertible()) {
            reach = toDevice.inverted().mapRect(
                QRectF(-2, -2, device->width() + 4.0, device->height() + 4.0));
        }
    }
    SegmentBatch(const SegmentBatch &) = delete;
    SegmentBatch &operator=(const SegmentBatch &) = delete;
    ~SegmentBatch() { flush(); }

    void solid(const QPoint &a, const QPoint &b)
    {
        if (offDevice(a, b))
            return;
        if (dotPenSet) {
            p.setPen(solidPen);
            dotPenSet = false;
        }
        if (joined) {
            if (polyline.isEmpty() || polyline.last() != a) {
                flush();
                polyline.append(a);
            }
            if (b != a)
                polyline.append(b);
            return;
        }
        if (count == kCapacity)
            flush();
        lines[count++] = QLine(a, b);
    }
    void dotted(const QPoint &a, const QPoint &b)
    {
        if (offDevice(a, b))
            return;
        flush();
        if (!dotPenSet) {
            p.setPen(dotPen);
            dotPenSet = true;
        }
        p.drawLine(a, b);
    }

private:
    // A segment with both ends beyond the same edge of the device leaves no
    // pixel: it is not drawn at all, which changes no pixel (each dotted
    // segment starts its own pattern). At step 1 most dotted segments run far
    // above or below the plot, and each would cost a dashed-pen set-up.
    bool offDevice(const QPoint &a, const QPoint &b) const
    {
        if (reach.isNull())
            return false;
        return (a.x() < reach.left() && b.x() < reach.left()) ||
               (a.x() > reach.right() && b.x() > reach.right()) ||
               (a.y() < reach.top() && b.y() < reach.top()) ||
               (a.y() > reach.bottom() && b.y() > reach.bottom());
    }

    void flush()
    {
        if (polyline.size() == 1)
            p.drawPoint(polyline.first());
        else if (polyline.size() > 1)
            p.drawPolyline(polyline.constData(), int(polyline.size()));
        polyline.clear();
        if (count)
            p.drawLines(lines, count);
        count = 0;
    }

    static constexpr int kCapacity = 256; // a whole curve of the usual plot at step 1
    QPainter &p;
    const QPen solidPen;
    const QPen dotPen;
    const bool joined;
    QRectF reach; // null: draw everything (vector devices, odd transforms)
    bool dotPenSet = false;
    QLine lines[kCapacity];
    int count = 0;
    QVarLengthArray<QPoint, kCapacity> polyline;
};

// The last finite point of a curve before the edge of its domain, found between
// a sample where the function is finite and one where it is not.
struct DomainEdge
{
    double fraction = 0; // of the way from the finite sample to the other
    float value = 0;     // narrowed as every sample is
};

constexpr int kMaxEdgeSteps = 40;

// Bisects from the finite sample (argument `inside`, value `value`) towards the
// other (`outside`), `span` pixels away, until the two lie less than a
// hundredth of a pixel apart. Where the function runs off steeply at the edge
// (ln(x) at 0) the point found by then may still lie well inside the window, so
// the search goes on while the last point found moved the curve by a pixel
// (`valuePixel` plot units) or more and lies in the band. At most kMaxEdgeSteps
// evaluations.
template<typename InBand>
DomainEdge domainEdge(const Function &f, double inside, float value, double outside, float span,
                      float valuePixel, InBand inBand)
{
    double finite = inside; // the last finite point found
    double beyond = outside;
    float moved = INFINITY;
    for (int i = 0; i < kMaxEdgeSteps; ++i) {
        const bool fine = std::fabs((beyond - finite) / (outside - inside)) * span < 0.01;
        if (fine && (!(std::fabs(moved) >= valuePixel) || !inBand(value)))
            break;
        const double middle = finite + (beyond - finite) / 2;
        if (middle == finite || middle == beyond)
            break;
        const float v = narrow(f.evaluate(middle));
        if (!std::isfinite(v)) {
            beyond = middle;
        } else {
            moved = v - value;
            value = v;
            finite = middle;
        }
    }
    return {inside == outside ? 0 : (finite - inside) / (outside - inside), value};
}

} // namespace

// Joins the samples of every enabled function. A curve of x is sampled along
// the columns and its values go to rows; a curve of y is sampled along the rows
// from the top and its values go to columns. A segment is drawn solid when
// either end lies within the band of the window plus one step; otherwise it is
// dotted at step 1 (an asymptote) and left out at larger steps.
void GraphWidget::drawCurves(QPainter &p, const Mapping &m)
{
    for (activeFunction = functions; activeFunction;
         activeFunction = activeFunction->getNextFunction()) {
        const Function *f = activeFunction;
        if (!f->isDrawn())
            continue;
        const bool ofX = f->getIndepVariable() == 'x';
        const int step = std::max(ofX ? xStep : yStep, 1);
        const float first = float(ofX ? pixXMin : pixYMin);
        const float last = float(ofX ? m.pixXMax : m.pixYMax);
        const float margin = float(step) * (ofX ? m.yUnitsPerPixel : m.xUnitsPerPixel);
        const float lo = (ofX ? yMin : xMin) - margin;
        const float hi = (ofX ? yMax : xMax) + margin;
        auto inBand = [lo, hi](float v) { return !(v < lo) && !(v > hi); };
        float &previous = ofX ? old_graph_y : old_graph_x;
        // s: the sampled column or row, v: the value there.
        auto point = [&](float s, float v) {
            return ofX ? QPoint(toPixel(s), m.rowOf(v)) : QPoint(m.columnOf(v), toPixel(s));
        };

        // The start point (at xMin, or at yMax), then every sample, evaluated in
        // one call in this order (rnd() in a formula draws its numbers in it).
        curveArguments.assign(1, double(ofX ? xMin : yMax));
        for (float s = first; s <= last; s += float(step))
            curveArguments.push_back(double(ofX ? m.xAt(s) : m.yAt(s)));
        curveValues.resize(curveArguments.size());
        f->evaluateBatch(curveArguments.data(), curveValues.data(), int(curveArguments.size()));

        // Where the function is not defined there is nothing to draw: between a
        // sample where it is defined and one where it is not, the curve runs on
        // to the edge of the domain (sqrt(25-x^2) down to its axis at x = 5), and
        // between two undefined samples nothing is drawn. An infinite sample is
        // an edge too: the curve runs on to its last finite point next to it
        // (ln(x) plunging at 0, not a step before), and from there to the sample
        // as any curve leaving the window. The band rule decides each segment.
        SegmentBatch batch(p, f->getColor());
        auto join = [&](const QPoint &a, const QPoint &b, float va, float vb) {
            if (inBand(va) || inBand(vb))
                batch.solid(a, b);
            else if (step == 1)
                batch.dotted(a, b);
        };
        const float valuePixel = ofX ? m.yUnitsPerPixel : m.xUnitsPerPixel;
        // The last finite point of the curve from the sample at s (argument t,
        // finite value v) towards the one at sOther (argument tOther), which is not.
        auto edge = [&](float s, double t, float v, float sOther, double tOther) {
            const DomainEdge e =
                domainEdge(*f, t, v, tOther, std::fabs(sOther - s), valuePixel, inBand);
            return std::make_pair(point(s + float(e.fraction) * (sOther - s), e.value), e.value);
        };
        const double *argument = curveArguments.data();
        const double *value = curveValues.data();
        float posS = first;
        double posT = *argument++;
        float posV = narrow(*value++);
        QPoint pos = point(first, posV);
        for (float s = first; s <= last; s += float(step)) {
            const double t = *argument++;
            const float v = narrow(*value++);
            const QPoint target = point(s, v);
            if (std::isfinite(v) == std::isfinite(posV)) {
                if (!std::isnan(v) && !std::isnan(posV))
                    join(pos, target, previous, v);
            } else if (std::isfinite(posV)) {
                const auto [end, endValue] = edge(posS, posT, posV, s, t);
                join(pos, end, previous, endValue);
                if (!std::isnan(v))
                    join(end, target, endValue, v);
            } else {
                const auto [end, endValue] = edge(s, t, v, posS, posT);
                if (!std::isnan(posV))
                    join(pos, end, previous, endValue);
                join(end, target, endValue, v);
            }
            pos = target;
            posS = s;
            posT = t;
            posV = v;
            previous = v;
        }
    }
}

void GraphWidget::paintEvent(QPaintEvent *)
{
    // The window may have moved to a screen of another device-pixel ratio.
    const qreal ratio = devicePixelRatio();
    if (image.isNull() || image.size() != pictureSize(ratio) || pictureRatio != ratio)
        drawGraph();
    QPainter p(this);
    // Each pixel of the picture onto one of the screen.
    p.drawImage(QRectF(0, 0, image.width() / pictureRatio, image.height() / pictureRatio), image);
}

void GraphWidget::drawGraphSlot()
{
    drawGraph();
}

// ---- Bounds, zoom and grid ----

void GraphWidget::showBounds()
{
    // Both pairs are written before any text comes back into the bounds.
    const auto [xMinText, xMaxText] = boundTexts(xMin, xMax);
    const auto [yMinText, yMaxText] = boundTexts(yMin, yMax);
    emit panning(true);
    emit x_min_changed(xMinText);
    emit x_max_changed(xMaxText);
    emit y_min_changed(yMinText);
    emit y_max_changed(yMaxText);
    emit panning(false);
}

void GraphWidget::showZoomedBounds()
{
    if (zoomOffset != 0)
        showBounds();
}

void GraphWidget::change_zoom(int value)
{
    if (value != 50) {
        // Applied to the bounds as they were when the slider left its centre, so
        // the positions of one drag do not accumulate. The y bounds move by the
        // offset of the x range.
        const float left = xMin - zoomOffset;
        const float right = xMax + zoomOffset;
        const float offset = (float(value) / 50.0f - 1.0f) * std::fabs(right - left) * 0.5f;
        const float x0 = left + offset;
        const float x1 = right - offset;
        const float y0 = yMin - zoomOffset + offset;
        const float y1 = yMax + zoomOffset - offset;
        if (zoomable(x0, x1) && zoomable(y0, y1)) {
            xMin = x0;
            xMax = x1;
            yMin = y0;
            yMax = y1;
            zoomOffset = offset;
        }
    }
    drawGraph();
}

bool GraphWidget::zoomable(float lo, float hi)
{
    return lo != hi && std::isfinite(lo) && std::isfinite(hi);
}

void GraphWidget::zoom_std_slot()
{
    xMin = -10;
    xMax = 10;
    yMin = -10;
    yMax = 10;
    showBoundsPending = true;
    drawGraph();
}

void GraphWidget::toggle_grid()
{
    gridEnabled = !gridEnabled;
}

void GraphWidget::change_x_min(const QString &text)
{
    xMin = readValueText(text).value;
}

void GraphWidget::change_x_max(const QString &text)
{
    xMax = readValueText(text).value;
}

void GraphWidget::change_y_min(const QString &text)
{
    yMin = readValueText(text).value;
}

void GraphWidget::change_y_max(const QString &text)
{
    yMax = readValueText(text).value;
}

void GraphWidget::change_grid_x(const QString &text)
{
    gridX = readValueText(text).value;
}

void GraphWidget::change_grid_y(const QString &text)
{
    gridY = readValueText(text).value;
}

// ---- Registry ----

Function *GraphWidget::addFunction(int id, QString text, char var, QColor color)
{
    auto *f = new Function(id, std::move(text), var, color, functions);
    if (!functions) {
        functions = f;
    } else {
        activeFunction = functions;
        while (activeFunction->getNextFunction())
            activeFunction = activeFunction->getNextFunction();
        activeFunction->setNextFunction(f);
        f->setPrevFunction(activeFunction);
    }
    ++numberOfFunctions;
    // A function that refers to this id found none, or another one, so far.
    prepareDependants(id, f);
    activeFunction = f;
    emit functionAdded(f);
    return f;
}

QList<Function *> GraphWidget::addFunctionSet(const QList<FunctionRecord> &records)
{
    // Fresh ids from the counter, past any the user has given a function, so
    // that no lookup by a new id finds an older function.
    auto taken = [this](int id) {
        for (Function *f = functions; f; f = f->getNextFunction()) {
            if (f->getId() == id)
                return true;
        }
        return false;
    };
    QList<int> ids;
    QHash<int, int> newIds; // saved id -> new id; the first record of an id wins, as in lookups
    for (const FunctionRecord &record : records) {
        int id = ids.isEmpty() ? getNumberOfFunctions() : ids.last() + 1;
        while (taken(id))
            ++id;
        ids.append(id);
        newIds.insert(record.id, id); // keeps the first
    }
    // The texts refer to the loaded copies by their new ids, so the set draws
    // what it drew when it was saved whatever this session holds.
    QList<Function *> added;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const FunctionRecord &record = records[i];
        setNumberOfFunctions(ids[i]);
        Function *f =
            addFunction(ids[i], Function::renumberReferences(record.text, record.id, newIds),
                        record.indepVariable, QColor(record.color));
        f->setEnabled(record.enabled);
        f->setEquality(record.equality);
        added.append(f);
    }
    return added;
}

bool GraphWidget::setActiveFunction(int id)
{
    activeFunction = functions;
    if (!activeFunction)
        return false;
    for (;;) {
        if (activeFunction->getId() == id)
            return true;
        if (!activeFunction->getNextFunction())
            return false;
        activeFunction = activeFunction->getNextFunction();
    }
}

int GraphWidget::findFunctionFBoxIndex(int index)
{
    for (activeFunction = functions; activeFunction;
         activeFunction = activeFunction->getNextFunction()) {
        if (activeFunction->getFBoxIndex() == index)
            return activeFunction->getId();
    }
    return -1;
}

void GraphWidget::deleteFunctionFBoxIndex(int index)
{
    if (!functions)
        return;
    activeFunction = functions;
    while (activeFunction->getFBoxIndex() != index && activeFunction->getNextFunction())
        activeFunction = activeFunction->getNextFunction();
    Function *f = activeFunction;
    if (f->getFBoxIndex() != index)
        return;
    functions = unlinkRecord(functions, f);
    if (!functions)
        setNumberOfFunctions(0);
    prepareDependants(f->getId(), f);
    emit functionRemoved(f->getId());
    activeFunction = nullptr;
    delete f;
}

void GraphWidget::removeFunction(Function *f)
{
    emit functionRemoved(f);
    if (!f)
        return;
    // A record still in the list is unlinked first, so the list never keeps a
    // pointer to a freed record.
    for (Function *r = functions; r; r = r->getNextFunction()) {
        if (r == f) {
            functions = unlinkRecord(functions, f);
            if (!functions)
                setNumberOfFunctions(0);
            prepareDependants(f->getId(), f);
            break;
        }
    }
    if (activeFunction == f)
        activeFunction = nullptr;
    delete f;
}

void GraphWidget::setActiveFunctionString(const QString &text)
{
    if (!activeFunction)
        return;
    activeFunction->setString(text);
    prepareDependants(activeFunction->getId(), activeFunction);
}

void GraphWidget::prepareDependants(int id, const Function *changed)
{
    std::vector<Function *> dependants;
    for (Function *f = functions; f; f = f->getNextFunction()) {
        if (f != changed && f->refersTo(id))
            dependants.push_back(f);
    }
    std::stable_sort(dependants.begin(), dependants.end(),
                     [](const Function *a, const Function *b) { return a->getId() < b->getId(); });
    // The engine's message stays that of the changed function's own compilation.
    const char *message = fget_error();
    for (Function *f : dependants)
        f->parse();
    fset_error(message);
}

// The per-id accessors act on the record with that id, or on the last record
// when no record has it. On an empty list they do nothing and read neutral values.

QString GraphWidget::getFunctionString(int id)
{
    setActiveFunction(id);
    return activeFunction ? activeFunction->getString() : QString();
}

void GraphWidget::setFunctionString(int id, QString text)
{
    setActiveFunction(id);
    setActiveFunctionString(text);
}

QColor GraphWidget::getFunctionColor(int id)
{
    setActiveFunction(id);
    return activeFunction ? activeFunction->getColor() : QColor();
}

void GraphWidget::setFunctionColor(int id, QColor color)
{
    setActiveFunction(id);
    if (activeFunction)
        activeFunction->setColor(color);
}

bool GraphWidget::getFunctionEnabled(int id)
{
    setActiveFunction(id);
    return activeFunction && activeFunction->getEnabled();
}

void GraphWidget::setFunctionEnabled(int id, bool enabled)
{
    setActiveFunction(id);
    if (activeFunction)
        activeFunction->setEnabled(enabled);
}

void GraphWidget::setFunctionIndepVariable(int id, char var)
{
    setActiveFunction(id);
    if (activeFunction)
        activeFunction->setIndepVariable(var);
}

char GraphWidget::getFunctionDepVariable(int id)
{
    setActiveFunction(id);
    // With no record, the letter of a new function (a function of x).
    if (!activeFunction)
        return 'Y';
    return activeFunction->getIndepVariable() == 'x' ? 'Y' : 'X';
}

void GraphWidget::setFunctionEquality(int id, int kind)
{
    setActiveFunction(id);
    if (activeFunction)
        activeFunction->setEquality(kind);
}

void GraphWidget::setFunctionFBoxIndex(int id, int index)
{
    setActiveFunction(id);
    if (activeFunction)
        activeFunction->setFBoxIndex(index);
}

int GraphWidget::getFunctionFBoxIndex(int id)
{
    setActiveFunction(id);
    return activeFunction ? activeFunction->getFBoxIndex() : -1;
}
