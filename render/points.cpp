#include "points.h"

#include "vectorstate.h"

#include "model/function.h"
#include "model/numbertext.h"
#include "plot/crossings.h"
#include "plot/graphwidget.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

namespace {

// Below this fraction of the gap at the ends of its bracket, an extremum of a
// gap counts as touching 0: x^2 at 0 touches, x^2+1E-3 (1e-3 against some
// 1e-2 a pixel away) does not.
constexpr double kTouch = 1e-9;
// Where a function's domain ends, its value at the last defined double counts
// as 0 below this fraction of its value at the sample beside: sqrt(2-x^2)
// ends at 2e-8 there, sqrt(x)+1 (1 at 0) does not.
constexpr double kEdge = 1e-6;

enum Kind { Root, Minimum, Maximum, Crossing };
const char *const kKindNames[] = {"root", "minimum", "maximum", "crossing"};

struct Point
{
    Kind kind;
    const Function *function;
    const Function *other; // the later function of a crossing
    double x, y;
};

// A pixel's values of one variable, from its lower bound to its upper one.
struct Samples
{
    std::vector<double> t;
    double pixel; // their distance
};

// lo + (hi - lo) * i / n hits 0 exactly on symmetric bounds, so that sin(x)
// has its root at 0 on a sample.
Samples samplesOver(double lo, double hi, int pixels)
{
    const int n = std::max(pixels, 1);
    Samples s{std::vector<double>(size_t(n) + 1), (hi - lo) / n};
    for (int i = 0; i < n; ++i)
        s.t[size_t(i)] = lo + (hi - lo) * i / n;
    s.t[size_t(n)] = hi;
    return s;
}

std::vector<double> valuesAt(const Function *f, const std::vector<double> &t)
{
    std::vector<double> v(t.size());
    f->evaluateBatch(t.data(), v.data(), int(t.size()));
    return v;
}

// Where the samples turn from rising to falling or back: an extremum lies
// between the samples `first` and `last` around the turn. Flat runs are
// stepped over (a constant has no turns); samples that are not finite end a
// run, so no turn spans an undefined stretch.
struct Turn
{
    size_t first, best, last; // best: the first sample of the run at the turn
    bool maximum;
};

std::vector<Turn> findTurns(const std::vector<double> &v)
{
    std::vector<Turn> turns;
    int rising = 0; // 1 or -1 since the last change of direction, 0 not known
    size_t top = 0; // the sample where that change was
    for (size_t i = 1; i < v.size(); ++i) {
        if (!std::isfinite(v[i]) || !std::isfinite(v[i - 1])) {
            rising = 0;
            continue;
        }
        const int direction = v[i] > v[i - 1] ? 1 : v[i] < v[i - 1] ? -1 : 0;
        if (direction == 0)
            continue;
        if (rising == -direction)
            turns.push_back({top - 1, top, i, rising > 0});
        rising = direction;
        top = i;
    }
    return turns;
}

struct Extremum
{
    double t;
    double value; // NaN: none, the turn is a pole's
};

// The extremum of the gap within a turn. Golden-section search narrows it to
// neighbouring doubles, but where the curve is flat to the last bit (sin(x)
// within 1e-8 of pi/2) it can only guess; Newton steps on the slope, from
// points a hundredth of a pixel apart, see the bend and put sin(x)'s maxima
// within 1e-13 of pi/2 + 2k pi. A pole is not an extremum: the value runs off, more
// than 8 times the rise from the turn's sample to the bracket's far end (a
// parabola's by at most a quarter of it).
Extremum refineTurn(const Gap &gap, const Samples &s, const std::vector<double> &v,
                    const Turn &turn)
{
    const double sense = turn.maximum ? -1 : 1; // minimises sense * gap
    const auto f = [&gap, sense](double t) { return sense * gap(t); };
    const double lo = s.t[turn.first], hi = s.t[turn.last];
    constexpr double r = 0.6180339887498949; // (sqrt(5) - 1) / 2
    double a = lo, b = hi;
    double c = b - r * (b - a), d = a + r * (b - a);
    double fc = f(c), fd = f(d);
    for (int k = 0; k < 100 && a < c && c < d && d < b; ++k) {
        if (fc <= fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - r * (b - a);
            fc = f(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + r * (b - a);
            fd = f(d);
        }
    }
    const bool left = fc <= fd;
    double m = left ? c : d;
    double fm = left ? fc : fd;
    const double best = sense * v[turn.best];
    const double rise = std::max(sense * v[turn.first], sense * v[turn.last]) - best;
    if (!(best - fm <= 8 * rise) || !std::isfinite(fm))
        return {m, NAN};

    const double h = s.pixel / 100;
    for (int k = 0; k < 3; ++k) {
        const double fl2 = f(m - 2 * h), fl = f(m - h), fr = f(m + h), fr2 = f(m + 2 * h);
        const double bend = fl - 2 * fm + fr;
        if (!(bend > 0))
            break;
        // A Newton step on the slope, taken over five points so that its
        // error shrinks with h^4 (with three, exp(x/3)*sin(x) lands 1e-7 off).
        const double next = m - h * (fl2 - 8 * fl + 8 * fr - fr2) / (12 * bend);
        if (!(std::fabs(next - m) <= h && next > lo && next < hi) || next == m)
            break;
        // Its value may differ from the flat level by rounding, but not by
        // what a step on the bend would: a jump is no bend.
        const double fn = f(next);
        if (!(fn <= fm + bend * 1e-6))
            break;
        m = next;
        fm = fn;
    }
    // A sample as extreme as that is the place itself (x^2 at 0, not 3e-24);
    // on a flat stretch of samples there is no one place.
    if (best <= fm)
        return {s.t[turn.best], turn.last - turn.best > 1 ? NAN : v[turn.best]};
    return {m, sense * fm};
}

// What a sampled gap holds.
struct Found
{
    std::vector<double> zeros;
    std::vector<std::pair<Extremum, bool>> extrema; // and whether a maximum
};

// The zeros of a gap, each refined to the last bit: where it changes sign
// (not at a pole or a jump, nor where a NaN interrupts), where a sample is exactly 0
// (not in a stretch of them: the constant 0 has no isolated zeros), where its
// domain ends at 0 (sqrt(1-x^2) at 1), and where it comes to 0 between samples
// without changing sign on them: touching 0 (x^2 at 0) or dipping through it
// and back (two zeros). And, when wanted, its extrema. With `sides`, only
// where the points the zeros stand for may lie in the window (see sidesOf).
Found scan(const Gap &gap, const Samples &s, const std::vector<double> &v, bool wantExtrema,
           const std::vector<signed char> *sides = nullptr)
{
    Found found;
    const std::vector<double> &t = s.t;
    const auto mayReach = [sides](size_t first, size_t last) {
        return !sides || (*sides)[first] == 0 ||
               std::any_of(sides->begin() + long(first), sides->begin() + long(last) + 1,
                           [&](signed char side) { return side != (*sides)[first]; });
    };
    const auto refine = [&](Bracket bracket) {
        Bracket ends;
        const double z = refineCrossing(gap, bracket, Precision::Double, &ends);
        if (!std::isnan(ends.a) && holdsZero(gap, bracket, ends))
            found.zeros.push_back(z);
    };
    for (const Bracket &b : findSignChanges(t, v)) {
        const size_t i = size_t(std::lower_bound(t.begin(), t.end(), b.b) - t.begin());
        if (!mayReach(b.a != b.b ? i - 1 : i, i))
            continue;
        if (b.a != b.b)
            refine(b);
        else if (!(i > 0 && v[i - 1] == 0) && !(i + 1 < v.size() && v[i + 1] == 0))
            found.zeros.push_back(b.a);
    }
    // The ends of the domain: the last defined double beside a sample where the
    // gap is NaN (the first after it), found by bisection on being defined.
    const Gap defined = [&gap](double t) { return std::isnan(gap(t)) ? -1.0 : 1.0; };
    for (size_t i = 0; i + 1 < v.size(); ++i) {
        const size_t at = std::isnan(v[i]) ? i + 1 : i; // the defined sample
        if (std::isnan(v[i]) == std::isnan(v[i + 1]) || v[at] == 0 || !mayReach(i, i + 1))
            continue;
        Bracket ends;
        refineCrossing(defined, {t[i], t[i + 1]}, Precision::Double, &ends);
        const double edge = at == i ? ends.a : ends.b;
        const double value = gap(edge);
        if (value == 0 || (std::isfinite(v[at]) && std::fabs(value) <= kEdge * std::fabs(v[at])))
            found.zeros.push_back(edge);
        else if ((value < 0) != (v[at] < 0))
            refine({std::min(edge, t[at]), std::max(edge, t[at])});
    }
    std::sort(found.zeros.begin(), found.zeros.end());
    const std::vector<double> crossed = found.zeros;
    for (const Turn &turn : findTurns(v)) {
        const double lo = t[turn.first], hi = t[turn.last];
        const double best = v[turn.best];
        const auto next = std::lower_bound(crossed.begin(), crossed.end(), lo);
        // Whether the gap may come to 0 here: it heads for 0 without crossing
        // it on the samples, and not so far off that reaching 0 would make the
        // turn a pole's (see refineTurn).
        const double rise =
            std::max(std::fabs(v[turn.first] - best), std::fabs(v[turn.last] - best));
        const bool mayTouch = best != 0 && turn.maximum == (best < 0) &&
                              (next == crossed.end() || *next > hi) &&
                              std::fabs(best) <= 8 * rise && mayReach(turn.first, turn.last);
        if (!wantExtrema && !mayTouch)
            continue;
        const Extremum e = refineTurn(gap, s, v, turn);
        if (std::isnan(e.value))
            continue;
        if (wantExtrema)
            found.extrema.push_back({e, turn.maximum});
        if (!mayTouch)
            continue;
        const double size = std::max(std::fabs(v[turn.first]), std::fabs(v[turn.last]));
        if (std::fabs(e.value) <= kTouch * size) {
            found.zeros.push_back(e.t);
        } else if ((e.value < 0) != (best < 0)) {
            refine({lo, e.t});
            refine({e.t, hi});
        }
    }
    return found;
}

// Which side of the window's range across a scan each point lies on: -1
// below, 1 above, 0 in it. A crossing between two samples on one side lies
// outside the window unless a curve bends into it within a pixel: then the
// scan along the other variable, or none, finds it. Skipping such samples
// skips the zeros that a steep function, such as sin(y)*5 of x^20,
// scatters where the window never shows them.
std::vector<signed char> sidesOf(const std::vector<double> &v, double lo, double hi)
{
    std::vector<signed char> sides(v.size());
    for (size_t i = 0; i < v.size(); ++i)
        sides[i] = v[i] < lo ? -1 : v[i] > hi ? 1 : 0;
    return sides;
}

std::vector<double> difference(const std::vector<double> &a, const std::vector<double> &b)
{
    std::vector<double> d(a.size());
    for (size_t i = 0; i < a.size(); ++i)
        d[i] = a[i] - b[i];
    return d;
}

// Crossings of a function of x, F, and one of y, G: zeros of G(F(x)) - x
// along x, where G's curve lies right of F's point, and of F(G(y)) - y along
// y. Each scan steps over crossings where its outer function is steep between
// samples; the other finds them there. A crossing both find (within a
// hundredth of a pixel) is listed once.
void mixedCrossings(const Function *f, const Function *other, const Samples &xs, const Samples &ys,
                    const std::vector<double> &valuesOfX, const std::vector<double> &valuesOfY,
                    std::vector<Point> &points)
{
    const bool fOfX = f->getIndepVariable() == 'x';
    const Function *ofX = fOfX ? f : other;
    const Function *ofY = fOfX ? other : f;
    const Gap alongX = [&](double x) { return ofY->evaluate(ofX->evaluate(x)) - x; };
    const Gap alongY = [&](double y) { return ofX->evaluate(ofY->evaluate(y)) - y; };
    const std::vector<signed char> rows = sidesOf(valuesOfX, ys.t.front(), ys.t.back());
    const std::vector<signed char> columns = sidesOf(valuesOfY, xs.t.front(), xs.t.back());
    std::vector<Point> found;
    for (const double x :
         scan(alongX, xs, difference(valuesAt(ofY, valuesOfX), xs.t), false, &rows).zeros)
        found.push_back({Crossing, f, other, x, ofX->evaluate(x)});
    const size_t first = found.size();
    for (const double y :
         scan(alongY, ys, difference(valuesAt(ofX, valuesOfY), ys.t), false, &columns).zeros) {
        const Point p{Crossing, f, other, ofY->evaluate(y), y};
        if (std::none_of(found.begin(), found.begin() + first, [&](const Point &q) {
                return std::fabs(q.x - p.x) <= xs.pixel / 100 &&
                       std::fabs(q.y - p.y) <= ys.pixel / 100;
            }))
            found.push_back(p);
    }
    points.insert(points.end(), found.begin(), found.end());
}

std::vector<Point> findPoints(const GraphWidget &graph, const QList<const Function *> &shown)
{
    const Samples xs = samplesOver(graph.getXMin(), graph.getXMax(), graph.width());
    const Samples ys = samplesOver(graph.getYMin(), graph.getYMax(), graph.height());
    const auto ofX = [](const Function *f) { return f->getIndepVariable() == 'x'; };
    std::vector<std::vector<double>> values;
    std::vector<Point> points;
    for (const Function *f : shown) {
        values.push_back(valuesAt(f, ofX(f) ? xs.t : ys.t));
        const Gap gap = [f](double t) { return f->evaluate(t); };
        const Found found = scan(gap, ofX(f) ? xs : ys, values.back(), true);
        for (const double z : found.zeros)
            points.push_back({Root, f, nullptr, ofX(f) ? z : 0, ofX(f) ? 0 : z});
        for (const auto &[e, maximum] : found.extrema) {
            points.push_back({maximum ? Maximum : Minimum, f, nullptr, ofX(f) ? e.t : e.value,
                              ofX(f) ? e.value : e.t});
        }
    }
    for (qsizetype i = 0; i < shown.size(); ++i) {
        for (qsizetype j = i + 1; j < shown.size(); ++j) {
            const Function *f = shown[i], *other = shown[j];
            if (ofX(f) != ofX(other)) {
                mixedCrossings(f, other, xs, ys, values[size_t(ofX(f) ? i : j)],
                               values[size_t(ofX(f) ? j : i)], points);
                continue;
            }
            const Gap gap = [f, other](double t) { return f->evaluate(t) - other->evaluate(t); };
            const std::vector<double> &along = values[size_t(i)];
            const std::vector<signed char> sides = ofX(f)
                                                       ? sidesOf(along, ys.t.front(), ys.t.back())
                                                       : sidesOf(along, xs.t.front(), xs.t.back());
            for (const double z :
                 scan(gap, ofX(f) ? xs : ys, difference(along, values[size_t(j)]), false, &sides)
                     .zeros) {
                const double across = f->evaluate(z);
                points.push_back({Crossing, f, other, ofX(f) ? z : across, ofX(f) ? across : z});
            }
        }
    }
    const auto outside = [&graph](const Point &p) {
        return !(p.x >= graph.getXMin() && p.x <= graph.getXMax() && p.y >= graph.getYMin() &&
                 p.y <= graph.getYMax());
    };
    points.erase(std::remove_if(points.begin(), points.end(), outside), points.end());
    std::stable_sort(points.begin(), points.end(), [](const Point &a, const Point &b) {
        return std::tie(a.kind, a.x, a.y) < std::tie(b.kind, b.x, b.y);
    });
    return points;
}

} // namespace

RenderStatus writePoints(const GraphWidget &graph, const ChunkWriter &write)
{
    QList<const Function *> shown;
    for (const Function *f = graph.getFunctions(); f; f = f->getNextFunction()) {
        if (f->isDrawn())
            shown.append(f);
    }
    clearUpperVectorHalves();
    QByteArray out = "kind,function,other,x,y\n";
    // -0 is written as 0: a root of sin(x) is not negative.
    const auto number = [](double v) { return formatNumber(v + 0.0, 17).toLatin1(); };
    for (const Point &p : findPoints(graph, shown)) {
        out += QByteArray(kKindNames[p.kind]) + ',' + csvField(p.function->getString()).toUtf8() +
               ',' + (p.other ? csvField(p.other->getString()).toUtf8() : QByteArray()) + ',' +
               number(p.x) + ',' + number(p.y) + '\n';
    }
    return write(out);
}
