#pragma once

#include <vector>

// A linear axis with round ticks (1, 2 or 5 times a power of ten) from a
// range of values, for every chart and plot the programs draw. Its work is
// bounded whatever the values: a range too narrow to write apart (equal
// values, or 1e16 and the double two steps above it) is widened to a minimum
// span first, and the ticks are counted from whole multiples of the step,
// never by adding it up.
struct AxisScale
{
    double low = 0; // the axis' ends, on ticks
    double high = 1;
    double step = 0.25; // between ticks
    std::vector<double> ticks; // low to high, at most a dozen
    int digits = 2; // significant digits that tell neighbouring ticks apart

    // Where `value` lies between the ends: 0 at low, 1 at high.
    double place(double value) const { return (value - low) / (high - low); }
    // Decimals that tell neighbouring ticks apart: 0 for a step of 1 or
    // more, 1 for 0.5, 2 for 0.05.
    int decimals() const;
};

// An axis over [low, high] with about `ticks` ticks, at least `minimumSpan`
// wide (and never narrower than a millionth of the values' magnitude). Values
// that are not finite give the axis 0 to 1.
AxisScale axisScale(double low, double high, double minimumSpan, int ticks = 5);

// About `count` round ticks inside [from, to], both ends included where
// they fall on a tick: for an axis whose ends are fixed, such as a window of
// codes the operator chose.
// The scale keeps the step the ticks were chosen with.
AxisScale ticksWithin(double from, double to, int count = 5);

// A round step (1, 2 or 5 times a power of ten) of at least span / count.
double roundStep(double span, int count);
