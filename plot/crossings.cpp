#include "plot/crossings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Doubles as integers in the same order (-0 and 0 both 0), so that the
// integer halfway between two of them halves the doubles between them: a
// bracket around 0 narrows in at most 64 steps, not the 1000 and more of the
// arithmetic midpoint.
int64_t ordered(double v)
{
    int64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits < 0 ? -(bits & INT64_MAX) : bits;
}

double fromOrdered(int64_t key)
{
    const int64_t bits = key < 0 ? (-key) | INT64_MIN : key;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double midpoint(double a, double b, Precision precision)
{
    if (precision == Precision::Single)
        return double(float(a / 2 + b / 2));
    const int64_t ka = ordered(a);
    return fromOrdered(ka + int64_t((uint64_t(ordered(b)) - uint64_t(ka)) / 2));
}

} // namespace

std::vector<Bracket> findSignChanges(const Gap &gap, const std::vector<double> &positions)
{
    std::vector<double> values;
    values.reserve(positions.size());
    for (const double t : positions)
        values.push_back(gap(t));
    return findSignChanges(positions, values);
}

std::vector<Bracket> findSignChanges(const std::vector<double> &positions,
                                     const std::vector<double> &values)
{
    std::vector<Bracket> found;
    double previousT = 0;
    double previousGap = NAN;
    for (size_t i = 0; i < positions.size(); ++i) {
        const double t = positions[i];
        const double g = values[i];
        if (g == 0)
            found.push_back({t, t});
        else if ((g < 0 && previousGap > 0) || (g > 0 && previousGap < 0))
            found.push_back({previousT, t});
        previousT = t;
        previousGap = g;
    }
    return found;
}

double refineCrossing(const Gap &gap, Bracket bracket, Precision precision, Bracket *endsOut)
{
    Bracket unused;
    Bracket &ends = endsOut ? *endsOut : unused;
    const auto fit = [precision](double v) {
        return precision == Precision::Single ? double(float(v)) : v;
    };
    double a = fit(std::min(bracket.a, bracket.b));
    double b = fit(std::max(bracket.a, bracket.b));
    double ga = gap(a);
    double gb = gap(b);
    ends = {a, b};
    if (ga == 0 || a == b) {
        ends = {a, a};
        return a;
    }
    if (gb == 0) {
        ends = {b, b};
        return b;
    }
    // Each step keeps the end whose gap has the other sign than the new
    // midpoint's, and every midpoint lies strictly between the ends, so the
    // loop ends once they are neighbours (or a Single midpoint of an infinite
    // end is that end).
    while (!std::isnan(ga) && !std::isnan(gb)) {
        const double m = midpoint(a, b, precision);
        if (!(m > a && m < b))
            break;
        const double gm = gap(m);
        if (gm == 0) {
            ends = {m, m};
            return m;
        }
        if (std::isnan(gm)) {
            ends = {NAN, NAN};
            break;
        }
        if ((gm < 0) == (ga < 0)) {
            a = m;
            ga = gm;
        } else {
            b = m;
            gb = gm;
        }
        ends = {a, b};
    }
    return std::fabs(gb) < std::fabs(ga) ? b : a;
}

bool holdsZero(const Gap &gap, Bracket start, Bracket ends)
{
    const auto size = [&gap](double t) { return std::fabs(gap(t)); };
    const double a = size(start.a), b = size(start.b);
    const double before = std::isinf(a) ? b : std::isinf(b) ? a : std::max(a, b);
    return std::min(size(ends.a), size(ends.b)) <= before * 1e-6;
}

std::vector<double> findCrossings(const Gap &gap, const std::vector<double> &positions,
                                  Precision precision)
{
    std::vector<double> crossings;
    for (const Bracket &bracket : findSignChanges(gap, positions))
        crossings.push_back(refineCrossing(gap, bracket, precision));
    return crossings;
}
