#pragma once
// The numbers along a plot's axes, free of any window: ticks at steps of 1, 2
// or 5 times a power of ten, a range with headroom whose ends are ticks (so
// both ends carry a figure), the clock's ticks of a time axis, and the number
// of decimals a value of a given resolution deserves.
//
// Every function here returns a bounded number of ticks for any input: a
// range that is empty, not a number, reversed or absurdly wide gives at most
// maxTicks + 1 ticks, never thousands.

#include <QString>
#include <QtGlobal>
#include <utility>
#include <vector>

namespace PlotScale {

// The tick figures of a range never exceed this, whatever is asked for.
inline constexpr int TickLimit = 50;

struct Ticks {
    double step = 0;             // 0 when there are no ticks
    std::vector<double> values;  // ascending, inside [lo, hi] (to a millionth of the step)
    int decimals = 0;            // enough to tell two ticks apart
};

// A step of 1, 2 or 5 times a power of ten that cuts span into at most
// `ticks` parts (at least 1 part); 1 for a span that is not above 0.
double NiceStep(double span, int ticks);

// Ticks at the multiples of NiceStep(hi - lo, maxTicks) inside [lo, hi]:
// at most min(maxTicks, TickLimit) + 1 of them. No ticks for a range that is
// not finite or not above 0 in width.
Ticks NiceTicks(double lo, double hi, int maxTicks);

// A range for values from lo to hi: widened by `headroom` of their span on
// both sides (a flat line gets a band about its value), then rounded outwards
// to round figures (a fifth of the step of maxTicks ticks), which the plot
// writes at both ends. Nothing is asked of lo <= hi; non-finite values give
// (0, 1).
std::pair<double, double> NiceRange(double lo, double hi, int maxTicks, double headroom = 0.05);

// Clock ticks for a time axis in ms since the epoch: whole local seconds,
// minutes... (steps of 1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 20 min) so that
// two ticks are at least minGapMs apart; offsetMs is the local time's offset
// from UTC (whole minutes). At most TickLimit + 1.
std::vector<qint64> ClockTicks(qint64 fromMs, qint64 toMs, qint64 minGapMs, qint64 offsetMs);

// The decimals that show a value of this resolution (the size of one unit)
// without losing a unit: 0.75 -> 1, 0.111 -> 1, 0.01 -> 2, 1 or more -> 0
// (at most 6). A resolution that is not above 0 gives 1.
int DecimalsFor(double resolution);

// v with that many decimals, "-0.0" written "0.0", a point as separator.
QString Fixed(double v, int decimals);

}  // namespace PlotScale
