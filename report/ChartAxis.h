#pragma once

#include <string>
#include <vector>

// A linear chart axis with round ticks (1, 2 or 5 times a power of ten) from
// a range of values. Its work is bounded whatever the values: a range too
// narrow to write apart (equal values, or 1e16 and the double two steps
// above it) is widened to a minimum span first, and the ticks are counted
// from whole multiples of the step, never by adding it up.
struct ChartAxis
{
    double low = 0; // the axis' ends, on ticks
    double high = 1;
    double step = 0.25; // between ticks
    std::vector<double> ticks; // low to high, at most a dozen
    int digits = 2; // significant digits that tell neighbouring ticks apart

    // The tick as its label writes it: "15.04", "0", "1.0000002e+16".
    std::string label(double tick) const;
    // Where `value` lies between the ends: 0 at low, 1 at high.
    double place(double value) const { return (value - low) / (high - low); }
};

// An axis over [low, high] with about `ticks` ticks, at least `minimumSpan`
// wide (and never narrower than a millionth of the values' magnitude). Values
// that are not finite give the axis 0 to 1.
ChartAxis chartAxis(double low, double high, double minimumSpan, int ticks = 5);

// A round step (1, 2 or 5 times a power of ten) of at least span / count.
double roundStep(double span, int count);
