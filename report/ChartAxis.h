#pragma once

#include "AxisScale.h"

#include <string>

// A chart axis of the lot report: the shared axis scale, its ticks labelled
// as the report writes numbers.
struct ChartAxis : AxisScale
{
    // The tick as its label writes it: "15.04", "0", "1.0000002e+16".
    std::string label(double tick) const;
};

// An axis over [low, high] with about `ticks` ticks, at least `minimumSpan`
// wide: see axisScale.
ChartAxis chartAxis(double low, double high, double minimumSpan, int ticks = 5);
