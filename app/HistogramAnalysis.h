#pragma once

#include "CodeDensityAnalysis.h"
#include "CodeDensityResult.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// What the analysis window's histogram tab analyses: the counts, the
// samples they came from (when it holds them all), and a reference board's
// counts beside them.
struct HistogramInput
{
    std::vector<std::uint64_t> counts;
    std::shared_ptr<const std::vector<std::uint16_t>> record; // may be null
    CodeDensityOptions options;
    std::vector<std::uint64_t> referenceCounts;
    QString referenceName; // empty: no reference
};

// Its analysis, with the counts and the reference it came from.
struct HistogramAnalysis
{
    std::vector<std::uint64_t> counts;
    CodeDensityResult result;
    QString referenceName;
    std::optional<CodeDensityResult> referenceResult; // empty without a reference
};

// Analyses the live counts, then the reference's as the same kind, so that
// both give the same figures. Plain data in and out: it runs on a worker.
HistogramAnalysis analyseHistogram(const HistogramInput &input);
