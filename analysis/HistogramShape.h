#pragma once

#include "CodeDensityResult.h"

#include <cstdint>
#include <span>
#include <string>

// Moments and extent of a histogram, in doubles so that any 64-bit counts fit.
struct HistogramShape
{
    double total = 0;
    std::uint64_t samples = 0;
    int lowest = -1;
    int highest = -1;
    double mean = 0;
    double sigma = 0;
    // Without the end codes. Hits at the end codes alone count as flat, hits
    // at one code between them as sharply peaked.
    double innerKurtosis = 1;

    int span() const { return highest - lowest + 1; }
};

HistogramShape shapeOf(std::span<const std::uint64_t> counts);

// The kind whose histogram this shape resembles most.
TestKind kindOfShape(std::span<const std::uint64_t> counts, const HistogramShape &shape);
// Whether the hits are too sparse for the shape to tell the kind.
bool tooFewToTellKind(const HistogramShape &shape);
// Why the histogram cannot be read as this kind; empty when it can.
std::string misfitOf(
    TestKind kind, std::span<const std::uint64_t> counts, const HistogramShape &shape);
