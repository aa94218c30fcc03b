#pragma once

#include "LotSummary.h"

#include <string>
#include <vector>

// The lot report's charts over time and over causes, as inline SVG.

// An individuals chart of one figure at one station: the values in time
// order, the centre line, the control limits (mean ± 2.66 × the average
// moving range) and the figure's limits. A point beyond the control limits
// is ringed, a failed test is red.
std::string runChart(const FigureRun &run);

// The failures of each limit as bars, the most first, and their cumulative
// share as a line against the right-hand axis.
std::string paretoChart(const std::vector<LimitFailures> &failures);
