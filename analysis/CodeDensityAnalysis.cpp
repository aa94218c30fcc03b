#include "CodeDensityAnalysis.h"

#include "HistogramShape.h"
#include "LinearityAnalysis.h"
#include "WholeSweeps.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

// A linearity test needs this many codes between the two end codes (which
// take all the input beyond the range); a converter with fewer has no DNL or
// INL to measure, whatever the input.
constexpr std::size_t fewestInnerCodes = 3;

DcNoiseFigures dcFiguresOf(
    std::span<const std::uint64_t> counts, const HistogramShape &shape, int bits)
{
    DcNoiseFigures dc;
    dc.peakToPeakCodes = shape.highest - shape.lowest;
    double within[3] = {0, 0, 0};
    for (int code = shape.lowest; code <= shape.highest; ++code) {
        const double distance = std::abs(code - shape.mean);
        for (int k = 0; k < 3; ++k) {
            // A small allowance keeps a code exactly k sigma away inside.
            if (distance <= (k + 1) * shape.sigma * (1 + 1e-12))
                within[k] += static_cast<double>(counts[code]);
        }
    }
    dc.shareWithin1Sigma = within[0] / shape.total;
    dc.shareWithin2Sigma = within[1] / shape.total;
    dc.shareWithin3Sigma = within[2] / shape.total;
    if (shape.sigma > 0) {
        dc.effectiveBits = bits - std::log2(shape.sigma);
        dc.noiseFreeBits = bits - std::log2(6.6 * shape.sigma);
    }
    return dc;
}

// The record's own histogram, or nothing when a code lies beyond `codes`.
std::optional<std::vector<std::uint64_t>> histogramOf(
    std::span<const std::uint16_t> record, std::size_t codes)
{
    std::vector<std::uint64_t> counts(codes);
    for (const std::uint16_t code : record) {
        if (code >= codes)
            return std::nullopt;
        ++counts[code];
    }
    return counts;
}

} // namespace

TestKind detectTestKind(std::span<const std::uint64_t> counts)
{
    return kindOfShape(counts, shapeOf(counts));
}

CodeDensityResult analyseCodeDensity(
    std::span<const std::uint64_t> counts, const CodeDensityOptions &options)
{
    const HistogramShape shape = shapeOf(counts);
    CodeDensityResult result;
    result.kindDetected = !options.kind.has_value();
    result.kind = options.kind.value_or(kindOfShape(counts, shape));
    result.bits = counts.size() > 1 ? std::bit_width(counts.size() - 1) : 0;
    result.samples = shape.samples;
    result.lowestCode = shape.lowest;
    result.highestCode = shape.highest;
    result.meanCode = shape.mean;
    result.sigma = shape.sigma;
    result.kindUndetermined = result.kindDetected && (shape.total == 0 || tooFewToTellKind(shape));
    if (result.kindUndetermined && shape.total > 0) {
        result.misfitReason = "Too few samples to tell the test kind ("
            + std::to_string(shape.samples) + " over " + std::to_string(shape.span())
            + " codes); choose the kind.";
    } else if (result.kind != TestKind::Dc && counts.size() >= 2
        && counts.size() < fewestInnerCodes + 2) {
        const std::size_t inner = counts.size() - 2;
        result.misfitReason = "A " + std::to_string(result.bits) + "-bit converter has "
            + std::to_string(inner) + " codes between its two end codes; DNL and INL need at least "
            + std::to_string(fewestInnerCodes) + " (3 bits or more).";
    } else {
        result.misfitReason = misfitOf(result.kind, counts, shape);
    }
    result.kindFits = result.misfitReason.empty();
    if (!result.kindFits)
        return result;
    if (result.kind == TestKind::Dc) {
        result.dc = dcFiguresOf(counts, shape, result.bits);
        return result;
    }

    auto linearity = analyseLinearity(counts, shape, result.kind, options);
    if (!linearity) {
        result.kindFits = false;
        result.misfitReason = "No sine fits the cumulative histogram.";
        return result;
    }
    result.linearity = std::move(*linearity);
    return result;
}

CodeDensityResult analyseCodeDensity(std::span<const std::uint64_t> counts,
    std::span<const std::uint16_t> record, const CodeDensityOptions &options)
{
    CodeDensityResult result = analyseCodeDensity(counts, options);
    if (!result.hasLinearity() || result.kind != TestKind::Ramp
        || std::accumulate(counts.begin(), counts.end(), std::uint64_t(0)) != record.size())
        return result;
    // Only a record of exactly the samples counted says where each came.
    const auto recorded = histogramOf(record, counts.size());
    if (!recorded || !std::ranges::equal(*recorded, counts))
        return result;
    const SweepCut cut = wholeSweepsOf(record);
    if (cut.sweeps == 0)
        return result;
    const auto swept = histogramOf(record.subspan(cut.begin, cut.samples()), counts.size());
    CodeDensityOptions ramp = options;
    ramp.kind = TestKind::Ramp;
    CodeDensityResult whole = analyseCodeDensity(*swept, ramp);
    if (!whole.hasLinearity())
        return result;
    result.linearity = std::move(whole.linearity);
    result.linearity.wholeSweeps = cut.sweeps;
    result.linearity.samplesLeftOut = record.size() - cut.samples();
    return result;
}
