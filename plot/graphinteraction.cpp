// Pointer interaction of GraphWidget (panning, zoom box, intersection pick)
// and the intersection finder.

#include "plot/graphwidget.h"

#include "model/function.h"
#include "model/numbertext.h"
#include "plot/crossings.h"

#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

bool ofX(const Function *f)
{
    return f->getIndepVariable() == 'x';
}

// Distance of f's curve from (x, y) along f's dependent axis. NaN for a curve
// not defined there, so that the strict comparisons of the candidate choice
// never pick it.
float distance(const Function *f, float x, float y)
{
    if (ofX(f))
        return std::fabs(narrow(f->evaluate(x) - y));
    return std::fabs(narrow(f->evaluate(y) - x));
}

// f1(t) - f2(t) with f1 evaluated first (rnd() makes the order observable).
float difference(const Function *f1, const Function *f2, float t)
{
    const double v1 = f1->evaluate(t);
    const double v2 = f2->evaluate(t);
    return narrow(v1 - v2);
}

bool sameSign(float u, float v)
{
    return (u > 0 && v > 0) || (u < 0 && v < 0);
}

// One bisection step from the values at m, a and b taken before either end
// moves. An interval that brackets no sign change collapses to m; a NaN moves
// nothing, and neither does an exact zero at m.
void bisect(float &a, float &b, float m, float gm, float ga, float gb)
{
    const bool moveA = sameSign(gm, ga);
    const bool moveB = sameSign(gm, gb);
    if (moveA)
        a = m;
    if (moveB)
        b = m;
}

// Where a bisection ended: the midpoint of its last step, the gap there, and
// whether its last interval still held a sign change of the gap (a zero counts).
struct Bisection
{
    float m = 0;
    float gm = 0;
    bool signChange = false;
};

// Runs n + 1 bisection steps over [a, b] on the gap g (evaluated at the
// midpoint first, then at both ends).
template<class Gap>
Bisection bisectGap(float a, float b, int n, Gap g)
{
    Bisection result;
    for (int i = 0; i <= n; ++i) {
        const float m = (a + b) * 0.5f;
        const float gm = g(m);
        const float ga = g(a);
        const float gb = g(b);
        bisect(a, b, m, gm, ga, gb);
        result = {m, gm, (ga <= 0 && gb >= 0) || (ga >= 0 && gb <= 0) || gm == 0};
    }
    return result;
}

} // namespace

void GraphWidget::mousePressEvent(QMouseEvent *e)
{
    const QPoint p = pointerPixel(e->position());
    mouseDown = true;
    lastMouseX = p.x();
    lastMouseY = p.y();
    zoomBoxMoves = 0;
    panned = false;
}

void GraphWidget::mouseMoveEvent(QMouseEvent *e)
{
    if (!mouseDown)
        return;
    const QPoint p = pointerPixel(e->position());
    const int column = p.x();
    const int row = p.y();

    if (zoomBoxMode) {
        // The first move after the press gives the upper-left corner, the last
        // move before the release the lower-right one; nothing is drawn.
        if (zoomBoxMoves < 2)
            ++zoomBoxMoves;
        const float px = xAt(column);
        const float py = yAt(row);
        if (zoomBoxFirstCorner) {
            zoomBoxFirstCorner = false;
            boxXMin = px;
            boxYMax = py;
        } else {
            boxXMax = px;
            boxYMin = py;
        }
        return;
    }

    // A position on column 0 or row 0 only records where the pointer is.
    if (lastMouseX != 0 && lastMouseY != 0) {
        if (row < lastMouseY) {
            const int d = lastMouseY - row;
            yMin -= yUnitsPerPixel * d;
            yMax -= yUnitsPerPixel * d;
        } else if (row > lastMouseY) {
            const int d = row - lastMouseY;
            yMin += yUnitsPerPixel * d;
            yMax += yUnitsPerPixel * d;
        }
        if (column < lastMouseX) {
            const int d = lastMouseX - column;
            xMin += xUnitsPerPixel * d;
            xMax += xUnitsPerPixel * d;
        } else if (column > lastMouseX) {
            const int d = column - lastMouseX;
            xMin -= xUnitsPerPixel * d;
            xMax -= xUnitsPerPixel * d;
        }
        panned = panned || row != lastMouseY || column != lastMouseX;
        drawGraph();
    }
    lastMouseX = column;
    lastMouseY = row;
}

void GraphWidget::mouseReleaseEvent(QMouseEvent *e)
{
    const QPoint p = pointerPixel(e->position());
    mouseDown = false;
    zoomBoxFirstCorner = true;

    if (zoomBoxMode) {
        zoomBoxMode = false;
        // Both corners are set only after two moves in this drag; with fewer
        // the box is incomplete and the bounds stay as they are. A box dragged
        // in any direction shows what it enclosed, the right way up.
        const auto [x0, x1] = std::minmax(boxXMin, boxXMax);
        const auto [y0, y1] = std::minmax(boxYMin, boxYMax);
        if (zoomBoxMoves >= 2 && zoomable(x0, x1) && zoomable(y0, y1)) {
            showBoundsPending = true;
            xMin = x0;
            xMax = x1;
            yMin = y0;
            yMax = y1;
            drawGraph();
        }
        zoomBoxMoves = 0;
        return;
    }

    if (findingIntersection) {
        // A drag that moved the plot writes its bounds to the fields, as any
        // pan does. The main window redraws on them, so the finder comes after,
        // on the bounds as they then stand, and its answer stays on top.
        if (panned)
            showBounds();
        findIntersectionNear(xAt(p.x()), yAt(p.y()));
        findingIntersection = false;
        return;
    }

    showBounds();
}

void GraphWidget::zoom_box_slot()
{
    zoomBoxMode = true;
}

void GraphWidget::activateFindingIntersection()
{
    findingIntersection = true;
}

void GraphWidget::findIntersectionNear(float x, float y)
{
    float ix = 0;
    float iy = 0;

    // The line y = 9999999 fills both candidate slots until real curves,
    // all nearer than it on the plot, push it out.
    const auto sentinel = std::make_unique<Function>(-10, QStringLiteral("9999999"), 'x',
                                                     QColor(Qt::black), functions);
    Function *a = sentinel.get();
    Function *b = sentinel.get();

    if (getNumberOfFunctions() < 2)
        return;

    // Only curves on the plot are candidates. Equally near ones keep list order.
    for (activeFunction = functions; activeFunction;
         activeFunction = activeFunction->getNextFunction()) {
        if (!activeFunction->isDrawn())
            continue;
        const float d = distance(activeFunction, x, y);
        const float dA = distance(a, x, y);
        const float dB = distance(b, x, y);
        if (d < dA) {
            if (dA < dB)
                b = a;
            a = activeFunction;
        } else if (d < dB) {
            b = activeFunction;
        }
    }

    // With fewer than two real candidates the second one is still the sentinel,
    // and a search against it would collapse onto the nearest curve and report
    // a point of that curve as a crossing: there is no crossing to report.
    const float r = 30.0f;
    bool ok = false;
    if (b != sentinel.get()) {
        // The bisection finds one crossing of its interval, not always the one
        // tapped, and none when the interval holds an even number of them
        // (sin(x)*3 and x^2/4 near 0) or when a function of y bends back across
        // the rows of its nested search; near a crossing its interval can also
        // collapse onto the tap, where the curves are within a pixel without
        // crossing. The scan sees every crossing near the tap: its nearest one
        // is the answer unless the bisection found that same crossing (then
        // the bisection's figures stand) or the scan finds none (curves that
        // touch without crossing).
        ok = calcIntersection(a, b, x, y, r, 20, ix, iy) && pixelsBetween(ix, iy, x, y) <= r / 2;
        float sx = 0;
        float sy = 0;
        if (scanIntersection(a, b, x, y, r, sx, sy) && (!ok || pixelsBetween(sx, sy, ix, iy) > 1)) {
            ix = sx;
            iy = sy;
            ok = true;
        }
    }

    const QStringList texts{a->getString(), b->getString(), formatNumber(ix), formatNumber(iy)};
    drawAnswer(ok, texts, ok ? ix : x, ok ? iy : y);
    // A screen reader hears what the picture shows, until the next redraw.
    const QString answer =
        ok ? tr("Crossing of %1 and %2 at (%3, %4).").arg(texts[0], texts[1], texts[2], texts[3])
           : tr("No crossing found near (%1, %2).").arg(formatNumber(x), formatNumber(y));
    setAccessibleDescription(redrawDescription.isEmpty() ? answer
                                                         : redrawDescription + ' ' + answer);
}

void GraphWidget::drawAnswer(bool found, const QStringList &texts, float x, float y)
{
    if (image.isNull())
        return;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    // The picture has the screen's pixels: the circle, the font and the
    // distances below grow with the device-pixel ratio, so that the answer
    // takes the same place on the widget at any ratio.
    const auto scaled = [this](int pixels) { return qRound(pixels * pictureRatio); };
    QFont plain = font();
    plain.setStyleStrategy(QFont::NoAntialias);
    if (plain.pixelSize() > 0)
        plain.setPixelSize(scaled(plain.pixelSize()));
    else
        plain.setPointSizeF(plain.pointSizeF() * pictureRatio);
    p.setFont(plain);
    const QFontMetrics metrics(p.font());
    const Mapping m = pictureMapping();
    const int column = m.columnOf(x);
    const int row = m.rowOf(y);
    if (!found) {
        p.setPen(QPen(QColor(255, 0, 0), 0));
        const QString error = QStringLiteral("Error.");
        const int left =
            std::max(0, std::min(column, m.pixXMax - metrics.horizontalAdvance(error)));
        const int baseline =
            std::max(metrics.ascent(), std::min(row, m.pixYMax - metrics.descent()));
        p.drawText(QPoint(left, baseline), error);
    } else {
        p.setPen(QPen(Qt::black, 0));
        // An outline rectangle of width w covers w + 1 columns: a circle 5 of
        // the widget's pixels across, centred on the crossing's pixel.
        const int radius = scaled(2);
        p.drawEllipse(QRect(column - radius, row - radius, 2 * radius, 2 * radius));
        const QStringList lines{texts[0], texts[1], tr("(%1, %2)").arg(texts[2], texts[3])};
        // Up and to the right of the crossing, baselines 25, 15 and 5 pixels
        // above it. Where they would not fit they go to its left, or below it,
        // rather than over the circle and the curves through it; on a plot too
        // small for either side they are pushed in at the edge.
        int width = 0;
        for (const QString &t : lines)
            width = std::max(width, metrics.horizontalAdvance(t));
        const int gap = scaled(5);
        const int above = scaled(25) + metrics.ascent();
        const int height = scaled(20) + metrics.ascent() + metrics.descent();
        int left = column + gap + width <= m.pixXMax ? column + gap : column - gap - width;
        int top = row - above >= 0 ? row - above : row + gap;
        left = std::max(0, std::min(left, m.pixXMax - width));
        top = std::max(0, std::min(top, m.pixYMax - height));
        for (int i = 0; i < 3; ++i)
            p.drawText(QPoint(left, top + metrics.ascent() + scaled(10) * i), lines[i]);
    }
    p.end();
    update();
}

float GraphWidget::pixelsBetween(float px, float py, float x, float y) const
{
    return std::hypot((px - x) / xUnitsPerPixel, (py - y) / yUnitsPerPixel);
}

bool GraphWidget::scanIntersection(const Function *f1, const Function *f2, float x, float y,
                                   float r, float &ix, float &iy) const
{
    if (!(xUnitsPerPixel > 0 && yUnitsPerPixel > 0) || !std::isfinite(xUnitsPerPixel) ||
        !std::isfinite(yUnitsPerPixel))
        return false;
    const bool yOnly = !ofX(f1) && !ofX(f2);
    // A function of x and one of y are scanned along F, the function of x:
    // the gap at x is how far G, the function of y, lies right of F's point
    // there, G(F(x)) - x. It changes sign wherever the curves cross, on
    // every branch that G's curve has over the window.
    const Function *curveF = ofX(f1) ? f1 : f2;
    const Function *curveG = ofX(f1) ? f2 : f1;
    const bool mixed = ofX(f1) != ofX(f2);

    // One sample per pixel column (per row for two functions of y) over the
    // window, as floats the way the plot computes positions.
    const float unit = yOnly ? yUnitsPerPixel : xUnitsPerPixel;
    const float centre = yOnly ? y : x;
    const int reach = int(r);
    std::vector<double> positions;
    for (int k = -reach; k <= reach; ++k)
        positions.push_back(centre + float(k) * unit);
    if (mixed) {
        // Where F climbs more than a row between two columns inside the
        // window, more samples go between them, one a row (at most 64), so
        // that a wavy G is not stepped over.
        std::vector<double> along;
        const float low = y - r * yUnitsPerPixel;
        const float high = y + r * yUnitsPerPixel;
        double previous = curveF->evaluate(positions.front());
        for (size_t i = 0; i + 1 < positions.size(); ++i) {
            const double next = curveF->evaluate(positions[i + 1]);
            const double rows = std::fabs(next - previous) / yUnitsPerPixel;
            int pieces = 1;
            if (std::isfinite(rows) && std::max(previous, next) >= low &&
                std::min(previous, next) <= high)
                pieces = int(std::clamp(std::ceil(rows), 1.0, 64.0));
            for (int j = 0; j < pieces; ++j) {
                along.push_back(
                    float(positions[i] + (positions[i + 1] - positions[i]) * j / pieces));
            }
            previous = next;
        }
        along.push_back(positions.back());
        positions = std::move(along);
    }
    const Gap gap = [&](double t) {
        if (mixed)
            return curveG->evaluate(curveF->evaluate(t)) - t;
        return f1->evaluate(t) - f2->evaluate(t);
    };
    // A crossing counts where the gap is within a pixel: a pole, where the
    // gap changes sign too, is left out.
    const float pixel = yOnly || mixed ? xUnitsPerPixel : yUnitsPerPixel;
    float best = r / 2;
    bool found = false;
    for (const double t : findCrossings(gap, positions, Precision::Single)) {
        if (!(std::fabs(gap(t)) <= pixel))
            continue;
        const float along = float(t);
        const float across = narrow((mixed ? curveF : f1)->evaluate(t));
        const float cx = yOnly ? across : along;
        const float cy = yOnly ? along : across;
        const float d = pixelsBetween(cx, cy, x, y);
        if (d <= best) {
            best = d;
            ix = cx;
            iy = cy;
            found = true;
        }
    }
    return found;
}

bool GraphWidget::calcIntersection(Function *f1, Function *f2, float x, float y, float r, int n,
                                   float &ix, float &iy)
{
    const auto g = [f1, f2](float t) { return difference(f1, f2, t); };
    Bisection found;
    float pixel = yUnitsPerPixel; // the gap is a height, except between functions of y
    if (ofX(f1) && ofX(f2)) {
        found = bisectGap(x - r * xUnitsPerPixel, x + r * xUnitsPerPixel, n, g);
        ix = found.m;
        iy = narrow(f1->evaluate(ix));
    } else if (!ofX(f1) && !ofX(f2)) {
        found = bisectGap(y - r * yUnitsPerPixel, y + r * yUnitsPerPixel, n, g);
        pixel = xUnitsPerPixel;
        iy = found.m;
        ix = narrow(f1->evaluate(iy));
    } else {
        // F gives y in terms of x, G x in terms of y. For a column c the gap
        // between the curves is found by a search along G for the row where
        // G meets the line x = c (the line V, through c's 6-digit text).
        Function *curveF = ofX(f1) ? f1 : f2;
        Function *curveG = ofX(f1) ? f2 : f1;
        const auto line =
            std::make_unique<Function>(-1, QString(), 'y', QColor(Qt::black), functions);
        float tx = 0;
        float ty = 0;
        const auto gap = [&](float c) {
            // Function texts take an exponent only as E ("1E-05", not "1e-05").
            line->setString(formatNumber(c).replace(QLatin1Char('e'), QLatin1Char('E')));
            calcIntersection(curveG, line.get(), c, narrow(curveF->evaluate(c)), 2 * r, n, tx, ty);
            return narrow(ty - curveF->evaluate(c));
        };
        found = bisectGap(x - r * xUnitsPerPixel, x + r * xUnitsPerPixel, n, gap);
        iy = ty;
        ix = narrow(curveG->evaluate(iy));
    }

    // The curves meet where the gap changes sign in the last interval, or comes
    // within a pixel: parallel lines make the interval collapse onto the centre
    // without either.
    if (!found.signChange && !(std::fabs(found.gm) <= pixel))
        return false;
    // The point reported must lie within a pixel of both curves: after a
    // nested search that found no sign change (a function of y bending back
    // across its rows) it can be anywhere along the function of y.
    const auto near = [&](const Function *f) {
        return distance(f, ix, iy) <= (ofX(f) ? yUnitsPerPixel : xUnitsPerPixel);
    };
    if (!near(f1) || !near(f2))
        return false;
    const float hx = r * xUnitsPerPixel * 0.5f;
    const float hy = r * yUnitsPerPixel * 0.5f;
    return x - hx < ix && ix < x + hx && y - hy < iy && iy < y + hy;
}
