#pragma once

#include "CodeDensityResult.h"
#include "HistogramShape.h"

#include <cstdint>
#include <span>
#include <string>

// The codes a sine histogram is analysed over: strictly between its two
// peaks. A sine piles up where it turns, on the end codes when it is driven
// beyond them, and a sine that stops short of the ends leaves only stray
// noise hits beyond its peaks, which say nothing of the code widths.
struct SineCodes
{
    int first = 0;
    int last = -1;
};
SineCodes sineAnalysedCodes(std::span<const std::uint64_t> counts, const HistogramShape &shape);

// What the figures mean when the fitted sine does not reach the first or
// the last transition; empty when it is driven beyond both.
std::string sineReachWarning(const LinearityFigures &figures, int codeCount);
