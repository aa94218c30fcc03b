#include "HistogramShape.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Below this kurtosis a histogram is too flat for noise around one level;
// above the other it is too peaked for a ramp or sine. A Gaussian gives 3, a
// uniform spread 1.8 and an arcsine 1.5. It is taken without the lowest and
// highest code hit, as an input driven beyond the range piles up there.
constexpr double flatKurtosisLimit = 2.0;
constexpr double bellKurtosisLimit = 2.3;
// Mean hits near the ends of the analysed codes over those in the middle: 1
// for a ramp, about 3 for a sine.
constexpr double sineEdgeRatio = 1.7;
constexpr double rampEdgeLimit = 1.7;
constexpr double sineEdgeLimit = 1.3;
// Spans this narrow leave too few codes inside for a linearity test.
constexpr int narrowestLinearitySpan = 5;
// The shape tells the kind only from this many samples per code of the hit
// span: a sparse sweep looks like anything.
constexpr double samplesPerCodeToTellKind = 2;
// A sweep in which fewer than this share of the codes inside the hit range
// were hit did not sweep them: the DNL and INL would say nothing.
constexpr double leastShareOfCodesHit = 0.5;

// Mean hits in the outer tenth at each end of the codes strictly inside the
// hit range, over the mean hits in their middle half.
double edgeToCentreRatio(std::span<const std::uint64_t> counts, const HistogramShape &shape)
{
    const int first = shape.lowest + 1;
    const int inside = shape.span() - 2;
    if (inside < 3)
        return 1;
    const int edge = std::max(1, inside / 10);
    const int centreFrom = first + inside / 4;
    const int centreTo = first + (3 * inside) / 4; // exclusive
    double edgeHits = 0;
    for (int i = 0; i < edge; ++i)
        edgeHits += static_cast<double>(counts[first + i])
            + static_cast<double>(counts[shape.highest - 1 - i]);
    double centreHits = 0;
    for (int code = centreFrom; code < centreTo; ++code)
        centreHits += static_cast<double>(counts[code]);
    const double centreMean = centreHits / std::max(1, centreTo - centreFrom);
    const double edgeMean = edgeHits / (2.0 * edge);
    if (centreMean == 0)
        return edgeMean > 0 ? std::numeric_limits<double>::max() : 1;
    return edgeMean / centreMean;
}

// Codes strictly inside the hit range that were hit.
int innerCodesHit(std::span<const std::uint64_t> counts, const HistogramShape &shape)
{
    int hit = 0;
    for (int code = shape.lowest + 1; code < shape.highest; ++code)
        hit += counts[code] > 0;
    return hit;
}

} // namespace

HistogramShape shapeOf(std::span<const std::uint64_t> counts)
{
    HistogramShape shape;
    double weighted = 0;
    for (std::size_t code = 0; code < counts.size(); ++code) {
        const std::uint64_t hits = counts[code];
        if (hits == 0)
            continue;
        if (shape.lowest < 0)
            shape.lowest = static_cast<int>(code);
        shape.highest = static_cast<int>(code);
        shape.samples = hits > std::numeric_limits<std::uint64_t>::max() - shape.samples
            ? std::numeric_limits<std::uint64_t>::max()
            : shape.samples + hits;
        shape.total += static_cast<double>(hits);
        weighted += static_cast<double>(hits) * static_cast<double>(code);
    }
    if (shape.total == 0)
        return shape;
    shape.mean = weighted / shape.total;
    double second = 0;
    for (int code = shape.lowest; code <= shape.highest; ++code) {
        const double d = code - shape.mean;
        second += static_cast<double>(counts[code]) * d * d;
    }
    double fourth = 0;
    shape.sigma = std::sqrt(second / shape.total);

    double inner = 0;
    double innerWeighted = 0;
    for (int code = shape.lowest + 1; code < shape.highest; ++code) {
        inner += static_cast<double>(counts[code]);
        innerWeighted += static_cast<double>(counts[code]) * code;
    }
    if (inner == 0)
        return shape;
    const double innerMean = innerWeighted / inner;
    second = 0;
    fourth = 0;
    for (int code = shape.lowest + 1; code < shape.highest; ++code) {
        const double d = code - innerMean;
        const double hits = static_cast<double>(counts[code]);
        second += hits * d * d;
        fourth += hits * d * d * d * d;
    }
    const double variance = second / inner;
    shape.innerKurtosis = variance > 0 ? fourth / inner / (variance * variance) : 1e9;
    return shape;
}

TestKind kindOfShape(std::span<const std::uint64_t> counts, const HistogramShape &shape)
{
    if (shape.total == 0 || shape.span() < narrowestLinearitySpan
        || shape.innerKurtosis > bellKurtosisLimit)
        return TestKind::Dc;
    return edgeToCentreRatio(counts, shape) > sineEdgeRatio ? TestKind::Sine : TestKind::Ramp;
}

bool tooFewToTellKind(const HistogramShape &shape)
{
    return shape.total < samplesPerCodeToTellKind * shape.span();
}

std::string misfitOf(
    TestKind kind, std::span<const std::uint64_t> counts, const HistogramShape &shape)
{
    if (shape.total == 0)
        return "The histogram is empty.";
    const std::string spread = "spread over " + std::to_string(shape.span()) + " codes";
    if (kind == TestKind::Dc) {
        if (shape.span() >= narrowestLinearitySpan && shape.innerKurtosis < flatKurtosisLimit)
            return "The histogram is " + spread
                + " without a peak, as a ramp or sine gives, not noise around one level.";
        return {};
    }
    if (shape.span() < narrowestLinearitySpan)
        return "Only " + std::to_string(shape.span())
            + " codes were hit; a linearity test needs the input to sweep many codes.";
    const int inside = shape.span() - 2;
    if (const int hit = innerCodesHit(counts, shape); hit < leastShareOfCodesHit * inside)
        return "Only " + std::to_string(hit) + " of the " + std::to_string(inside)
            + " codes between the lowest and highest hit were hit: too few samples, or an input "
              "that does not sweep the codes. A sine sweeps every code when its frequency does not "
              "divide the sample rate.";
    if (shape.innerKurtosis > bellKurtosisLimit)
        return "The histogram is a bell " + spread + ", as noise around one level gives.";
    const double ratio = edgeToCentreRatio(counts, shape);
    if (kind == TestKind::Ramp && ratio > rampEdgeLimit)
        return "The hits rise towards both ends, as a sine gives, not flat as a ramp gives.";
    if (kind == TestKind::Sine && ratio < sineEdgeLimit)
        return "The hits are flat across the codes, as a ramp gives, not rising towards both ends "
               "as a sine gives.";
    return {};
}
