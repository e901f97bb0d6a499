#include "plot/crossings.h"

#include <algorithm>
#include <cmath>

std::vector<Bracket> findSignChanges(const Gap &gap, const std::vector<double> &positions)
{
    std::vector<Bracket> found;
    double previousT = 0;
    double previousGap = NAN;
    for (const double t : positions) {
        const double g = gap(t);
        if (g == 0)
            found.push_back({t, t});
        else if ((g < 0 && previousGap > 0) || (g > 0 && previousGap < 0))
            found.push_back({previousT, t});
        previousT = t;
        previousGap = g;
    }
    return found;
}

double refineCrossing(const Gap &gap, Bracket bracket, Precision precision)
{
    const auto fit = [precision](double v) {
        return precision == Precision::Single ? double(float(v)) : v;
    };
    double a = fit(std::min(bracket.a, bracket.b));
    double b = fit(std::max(bracket.a, bracket.b));
    double ga = gap(a);
    double gb = gap(b);
    if (ga == 0 || a == b)
        return a;
    if (gb == 0)
        return b;
    // Each step keeps the end whose gap has the other sign than the new
    // midpoint's, and every midpoint lies strictly between the ends, so the
    // loop ends once they are neighbours (or an end is infinite).
    while (!std::isnan(ga) && !std::isnan(gb)) {
        const double m = fit(a / 2 + b / 2);
        if (!(m > a && m < b))
            break;
        const double gm = gap(m);
        if (gm == 0)
            return m;
        if (std::isnan(gm))
            break;
        if ((gm < 0) == (ga < 0)) {
            a = m;
            ga = gm;
        } else {
            b = m;
            gb = gm;
        }
    }
    return std::fabs(gb) < std::fabs(ga) ? b : a;
}

std::vector<double> findCrossings(const Gap &gap, const std::vector<double> &positions,
                                  Precision precision)
{
    std::vector<double> crossings;
    for (const Bracket &bracket : findSignChanges(gap, positions))
        crossings.push_back(refineCrossing(gap, bracket, precision));
    return crossings;
}
