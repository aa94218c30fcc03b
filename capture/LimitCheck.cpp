#include "LimitCheck.h"

#include "CodeDensityResult.h"
#include "DynamicResult.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double confidence99 = 2.576;

double worstOf(const CodeExtreme &low, const CodeExtreme &high)
{
    return std::max(std::abs(low.value), std::abs(high.value));
}

// Why the histogram gives no such figure, or nothing when it does.
std::string missingFigure(const CodeDensityResult &result, bool wantsLinearity)
{
    if (result.samples == 0)
        return "no frames";
    if (!result.kindFits)
        return result.misfitReason;
    if (wantsLinearity && !result.hasLinearity())
        return "a DC histogram has no DNL, INL or missing codes";
    if (!wantsLinearity && result.kind != TestKind::Dc)
        return std::string("noise is measured on a DC histogram, this is ")
            + testKindName(result.kind);
    return {};
}

} // namespace

std::vector<LimitOutcome> checkLimits(const CaptureLimits &limits, const CodeDensityResult &result)
{
    std::vector<LimitOutcome> outcomes;
    const auto check = [&](const char *name, std::optional<double> limit, bool wantsLinearity,
                           auto figure, std::optional<double> uncertainty) {
        if (!limit)
            return;
        LimitOutcome outcome;
        outcome.name = name;
        outcome.limit = *limit;
        outcome.note = missingFigure(result, wantsLinearity);
        if (outcome.note.empty()) {
            outcome.value = figure();
            outcome.uncertainty = uncertainty;
            const double spread = uncertainty.value_or(0);
            outcome.withinUncertainty = std::abs(*outcome.value - *limit) < spread;
            outcome.guardBanded = limits.guardBand;
            outcome.pass = *outcome.value + (limits.guardBand ? spread : 0) <= *limit;
        }
        outcomes.push_back(std::move(outcome));
    };
    const LinearityFigures &linearity = result.linearity;
    check(
        "max_dnl", limits.maxDnl, true, [&] { return worstOf(linearity.dnlMin, linearity.dnlMax); },
        linearity.dnlUncertainty99);
    check(
        "max_inl", limits.maxInl, true,
        [&] { return worstOf(linearity.inlEndPointMin, linearity.inlEndPointMax); },
        linearity.inlEndPointUncertainty99);
    check(
        "max_missing", limits.maxMissing, true,
        [&] { return double(linearity.missingCodes.size()); }, std::nullopt);
    // The standard deviation of N samples is known to sigma / sqrt(2N).
    const std::optional<double> noiseUncertainty = result.samples > 0
        ? std::optional(confidence99 * result.sigma / std::sqrt(2.0 * double(result.samples)))
        : std::nullopt;
    check(
        "max_noise", limits.maxNoise, false, [&] { return result.sigma; }, noiseUncertainty);
    return outcomes;
}

std::vector<LimitOutcome> checkLimits(
    const CaptureLimits &limits, const CodeDensityResult &result, const DynamicResult &dynamic)
{
    std::vector<LimitOutcome> outcomes = checkLimits(limits, result);
    // The dynamic figures have no uncertainty from the counts: a guard band
    // leaves them as they are.
    const auto check = [&](const char *name, std::optional<double> limit,
                           std::optional<double> figure, bool atMost) {
        if (!limit)
            return;
        LimitOutcome outcome;
        outcome.name = name;
        outcome.limit = *limit;
        if (!dynamic.ok)
            outcome.note = dynamic.reason;
        else if (!figure)
            outcome.note = "the record gives no such figure: no noise or distortion left";
        else
            outcome.value = figure;
        outcome.pass = figure && dynamic.ok && (atMost ? *figure <= *limit : *figure >= *limit);
        outcomes.push_back(std::move(outcome));
    };
    check("min_enob", limits.minEnob, dynamic.enobBits, false);
    check("min_sinad", limits.minSinad, dynamic.sinadDb, false);
    check("max_thd", limits.maxThd, dynamic.thdDb, true);
    check("min_sfdr", limits.minSfdr, dynamic.sfdrDb, false);
    return outcomes;
}
