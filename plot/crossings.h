#pragma once

#include <functional>
#include <vector>

// Crossings of two curves, found by scanning a signed gap between them: a
// function of one parameter t (the shared variable, or the place along one of
// the curves) that is positive where one curve lies on one side of the other,
// negative on the other side, and NaN where either is not defined. Roots of a
// curve are the crossings with its axis, the gap being the curve itself.
//
// The caller chooses where to look (the sample positions, one per pixel in the
// plot) and how far to refine (the plot's floats, or every bit of a double).

using Gap = std::function<double(double t)>;

// The numbers a crossing is narrowed down to.
enum class Precision {
    Single, // positions that are floats, as the plot's
    Double,
};

// Where the gap changes sign between two neighbouring samples: the samples on
// either side (a == b for a sample where the gap is exactly 0). Samples where
// the gap is NaN bracket nothing, so a curve's undefined stretch is never taken
// for a crossing; a pole still is (the gap jumps from one sign to the other),
// which the caller tells apart by the gap at the refined place.
struct Bracket
{
    double a;
    double b;
};

// Every sign change of the gap over the positions (in either direction), in
// the order of the positions. The gap is evaluated once at each position, in
// order.
std::vector<Bracket> findSignChanges(const Gap &gap, const std::vector<double> &positions);
// The same over the gap's values at the positions, computed by the caller.
std::vector<Bracket> findSignChanges(const std::vector<double> &positions,
                                     const std::vector<double> &values);

// The place within a bracket where the gap is nearest 0: bisection until the
// ends are neighbouring numbers of the precision, or the gap is 0 or NaN at a
// midpoint. A position of Single precision is always a float. With `ends`,
// also the bracket it ended with: both ends the place where the gap is 0,
// neighbours where it changes sign between them, NaN where a NaN stopped it.
double refineCrossing(const Gap &gap, Bracket bracket, Precision precision,
                      Bracket *ends = nullptr);

// Whether the bracket refineCrossing narrowed from `start` to `ends` holds a
// zero of the gap rather than a pole or a jump, where the sign changes too:
// the gap at the ends is below a millionth of its size at the start (of the
// finite end's, when the other is infinite). At a zero it shrinks to rounding
// noise, far below that even where the curves cross with one slope; at a pole
// it grows (tan(x) near pi/2), at a jump it stays (atan2(sin(x),cos(x)) at pi).
bool holdsZero(const Gap &gap, Bracket start, Bracket ends);

// findSignChanges, each refined.
std::vector<double> findCrossings(const Gap &gap, const std::vector<double> &positions,
                                  Precision precision);
