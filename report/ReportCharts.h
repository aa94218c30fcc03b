#pragma once

#include "LotSummary.h"

#include <string>

// The lot report's charts as inline SVG, each scaling down to the width of
// its container (a phone's screen) and bounded in size whatever the values.

// Horizontal bars, one for the lot and one per station: passed in green,
// failed in red.
std::string yieldChart(const LotSummary &lot);

// The figure's values in bins, each bin stacked by its boards' own verdicts
// on the figure's limits (failed, passed, not held to one), with the limits
// as dashed lines.
std::string histogramChart(const FigureStatistics &figure);
