#pragma once

#include "CodeDensityAnalysis.h"
#include "HistogramShape.h"

#include <optional>

// The DNL and INL of a ramp or sine histogram over the codes strictly inside
// its hit range, their extremes, the codes missing, the counting uncertainty
// and the samples still needed. Empty when no sine fits the cumulative
// histogram.
std::optional<LinearityFigures> analyseLinearity(std::span<const std::uint64_t> counts,
    const HistogramShape &shape, TestKind kind, const CodeDensityOptions &options);
