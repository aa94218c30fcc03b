#include "PartialSweep.h"

#include "FigureText.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A step counts from this many standard errors of the two plateaus' means:
// the largest of a few thousand splits of pure noise stays well below it.
constexpr double leastStepSignificance = 8;
// Plateaus shorter than this are left to the DNL.
constexpr int shortestPlateau = 16;
// What may remain of the INL beyond the step's, as a share of the step's,
// for the plateaus to count as flat. A bow of the INL leaves a quarter.
constexpr double mostShapeBeyondStep = 0.2;

struct Step
{
    int lastOfFirst = -1; // the last code of the first plateau
    double significance = 0;
    double firstMean = 0;
    double secondMean = 0;
};

// The split into two plateaus whose means differ most against their noise:
// the larger of the counting noise and the scatter of the hits.
Step strongestStep(std::span<const std::uint64_t> counts, int first, int last)
{
    const int n = last - first + 1;
    std::vector<double> sum(n + 1, 0.0), squares(n + 1, 0.0);
    for (int i = 0; i < n; ++i) {
        const double hits = static_cast<double>(counts[first + i]);
        sum[i + 1] = sum[i] + hits;
        squares[i + 1] = squares[i] + hits * hits;
    }
    const auto spread = [](double mean, double s, double q, int count) {
        const double scatter = std::max(0.0, (q - s * mean) / (count - 1));
        return std::max(scatter, mean) / count;
    };
    Step best;
    for (int n1 = shortestPlateau; n1 <= n - shortestPlateau; ++n1) {
        const int n2 = n - n1;
        const double mean1 = sum[n1] / n1;
        const double mean2 = (sum[n] - sum[n1]) / n2;
        const double variance = spread(mean1, sum[n1], squares[n1], n1)
            + spread(mean2, sum[n] - sum[n1], squares[n] - squares[n1], n2);
        if (!(variance > 0))
            continue;
        const double significance = std::abs(mean1 - mean2) / std::sqrt(variance);
        if (significance > best.significance)
            best = {first + n1 - 1, significance, mean1, mean2};
    }
    return best;
}

// The largest INL left within the plateaus once each is taken against its
// own mean.
double shapeBeyondStep(std::span<const std::uint64_t> counts, int from, int to, double mean)
{
    double inl = 0, largest = 0;
    for (int code = from; code <= to; ++code) {
        inl += static_cast<double>(counts[code]) / mean - 1;
        largest = std::max(largest, std::abs(inl));
    }
    return largest;
}

std::string codes(int from, int to)
{
    return "codes " + std::to_string(from) + " to " + std::to_string(to);
}

} // namespace

std::string partialSweepOf(std::span<const std::uint64_t> counts, const LinearityFigures &figures)
{
    const int first = figures.firstCode;
    const int last = figures.lastCode;
    if (figures.analysedCodes() < 2 * shortestPlateau)
        return {};
    const Step step = strongestStep(counts, first, last);
    if (step.significance < leastStepSignificance || !(step.firstMean > 0)
        || !(step.secondMean > 0))
        return {};
    const double n1 = step.lastOfFirst - first + 1;
    const double n2 = last - step.lastOfFirst;
    const double mean = (n1 * step.firstMean + n2 * step.secondMean) / (n1 + n2);
    const double stepInl
        = n1 * n2 * std::abs(step.firstMean - step.secondMean) / ((n1 + n2) * mean);
    const double shape = std::max(shapeBeyondStep(counts, first, step.lastOfFirst, step.firstMean),
        shapeBeyondStep(counts, step.lastOfFirst + 1, last, step.secondMean));
    if (shape
        > std::max(mostShapeBeyondStep * stepInl, figures.inlEndPointUncertainty99.value_or(0)))
        return {};
    const bool firstHigher = step.firstMean > step.secondMean;
    const std::string higher
        = firstHigher ? codes(first, step.lastOfFirst) : codes(step.lastOfFirst + 1, last);
    const std::string lower
        = firstHigher ? codes(step.lastOfFirst + 1, last) : codes(first, step.lastOfFirst);
    return "a partial sweep: " + higher + " were swept more often than " + lower + " ("
        + fixedNumber(std::max(step.firstMean, step.secondMean), 2) + " against "
        + fixedNumber(std::min(step.firstMean, step.secondMean), 2)
        + " hits a code), a step no counting noise explains; INL is not measured";
}
