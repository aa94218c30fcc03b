#include "LinearityAnalysis.h"

#include "InlUncertainty.h"
#include "PartialSweep.h"
#include "SineReach.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double confidence99 = 2.576;
constexpr double targetUncertainty = 0.1;

// Ramp: every analysed code should be hit equally often.
void rampDnl(std::span<const std::uint64_t> counts, LinearityFigures &figures)
{
    double hits = 0;
    for (int code = figures.firstCode; code <= figures.lastCode; ++code)
        hits += static_cast<double>(counts[code]);
    const double meanHits = hits / figures.analysedCodes();
    for (int code = figures.firstCode; code <= figures.lastCode; ++code)
        figures.dnl[code] = meanHits > 0 ? static_cast<double>(counts[code]) / meanHits - 1 : -1;
}

// Least-squares line y = offset + slope * x.
struct Line
{
    double offset = 0;
    double slope = 0;
};

template<typename XOf, typename YOf> Line leastSquares(int from, int to, XOf x, YOf y)
{
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = from; i <= to; ++i) {
        const double xi = x(i);
        const double yi = y(i);
        n += 1;
        sx += xi;
        sy += yi;
        sxx += xi * xi;
        sxy += xi * yi;
    }
    const double denominator = n * sxx - sx * sx;
    if (n == 0 || denominator == 0)
        return {n > 0 ? sy / n : 0, 0};
    const double slope = (n * sxy - sx * sy) / denominator;
    return {(sy - slope * sx) / n, slope};
}

// Sine: the transition levels follow from the cumulative histogram, as the
// input spends a share of its period below each level that is the arccosine
// of that level. Returns false when the fit gives no usable amplitude.
bool sineDnl(std::span<const std::uint64_t> counts, const HistogramShape &shape,
    LinearityFigures &figures, std::vector<double> &inlGain)
{
    const int first = figures.firstCode;
    const int last = figures.lastCode;
    // cosine[k - first] belongs to the transition into code k, k = first..last+1.
    std::vector<double> cosine(last - first + 2);
    double cumulative = 0;
    for (int code = 0; code < first; ++code)
        cumulative += static_cast<double>(counts[code]);
    for (int k = first; k <= last + 1; ++k) {
        const double share = std::clamp(cumulative / shape.total, 0.0, 1.0);
        cosine[k - first] = -std::cos(std::numbers::pi * share);
        cumulative += static_cast<double>(counts[k]);
    }
    // Fit the input's centre and amplitude over the central transitions; the
    // ends are left out where a clipped sine piles up and the cosine is flat.
    const int transitions = static_cast<int>(cosine.size());
    int trim = transitions / 20;
    if (transitions - 2 * trim < 3)
        trim = 0;
    const Line fit = leastSquares(
        first + trim, last + 1 - trim, [&](int k) { return cosine[k - first]; },
        [](int k) { return static_cast<double>(k); });
    if (!(fit.slope > 0) || !std::isfinite(fit.slope) || !std::isfinite(fit.offset))
        return false;
    figures.sineCentre = fit.offset;
    figures.sineAmplitude = fit.slope;
    // The fit runs over transition numbers: transition k lies at level
    // k - 0.5, the input's extremes at offset -+ slope - 0.5.
    figures.overdriveLowLsb = 1 - fit.offset + fit.slope;
    figures.overdriveHighLsb = fit.offset + fit.slope - (static_cast<double>(counts.size()) - 1);
    auto level = [&](int k) { return fit.offset + fit.slope * cosine[k - first]; };
    const double meanWidth = (level(last + 1) - level(first)) / figures.analysedCodes();
    if (!(meanWidth > 0))
        return false;
    for (int code = first; code <= last; ++code)
        figures.dnl[code] = (level(code + 1) - level(code)) / meanWidth - 1;
    // A level moves by slope * pi * sin(pi p) per unit of the share p below
    // it, and p by (analysed samples / all samples) per unit of the analysed
    // share; sin(pi p) is sqrt(1 - cosine^2).
    double analysed = 0;
    for (int code = first; code <= last; ++code)
        analysed += static_cast<double>(counts[code]);
    inlGain.assign(figures.analysedCodes(), 0);
    for (int code = first; code <= last; ++code) {
        const double c = cosine[code + 1 - first];
        inlGain[code - first] = fit.slope * std::numbers::pi * std::sqrt(std::max(0.0, 1 - c * c))
            * (analysed / shape.total) / meanWidth;
    }
    return true;
}

CodeExtreme lowestOf(const std::vector<double> &values, int first, int last)
{
    CodeExtreme extreme {values[first], first};
    for (int code = first + 1; code <= last; ++code) {
        if (values[code] < extreme.value)
            extreme = {values[code], code};
    }
    return extreme;
}

CodeExtreme highestOf(const std::vector<double> &values, int first, int last)
{
    CodeExtreme extreme {values[first], first};
    for (int code = first + 1; code <= last; ++code) {
        if (values[code] > extreme.value)
            extreme = {values[code], code};
    }
    return extreme;
}

// INL at the upper transition of each code: the running sum of DNL. It is
// zero at both ends already, as DNL is taken against the mean; the end-point
// line removes what rounding leaves.
void integrate(LinearityFigures &figures)
{
    const int first = figures.firstCode;
    const int last = figures.lastCode;
    double sum = 0;
    for (int code = first; code <= last; ++code) {
        sum += figures.dnl[code];
        figures.inlEndPoint[code] = sum;
    }
    const double endError = figures.inlEndPoint[last];
    for (int code = first; code <= last; ++code)
        figures.inlEndPoint[code] -= endError * (code - first + 1) / figures.analysedCodes();
    const Line fit = leastSquares(
        first, last, [](int code) { return static_cast<double>(code); },
        [&](int code) { return figures.inlEndPoint[code]; });
    for (int code = first; code <= last; ++code)
        figures.inlBestFit[code] = figures.inlEndPoint[code] - (fit.offset + fit.slope * code);
}

void assessQuality(std::span<const std::uint64_t> counts, const HistogramShape &shape,
    std::optional<double> sampleRate, LinearityFigures &figures)
{
    for (int code = figures.firstCode; code <= figures.lastCode; ++code) {
        if (counts[code] == 0)
            figures.missingCodes.push_back(code);
        else if (figures.fewestHitsCode < 0 || counts[code] < figures.fewestHits) {
            figures.fewestHits = counts[code];
            figures.fewestHitsCode = code;
        }
    }
    if (figures.fewestHitsCode < 0)
        return;
    const double fewest = static_cast<double>(figures.fewestHits);
    figures.dnlUncertainty99 = confidence99 / std::sqrt(fewest);
    // The code with the fewest hits needs (2.576 / 0.1)^2 of them; the others
    // grow in proportion as the run goes on.
    const double hitsNeeded = std::ceil(std::pow(confidence99 / targetUncertainty, 2));
    const double more = std::max(0.0, std::ceil(shape.total * (hitsNeeded / fewest) - shape.total));
    const double largest = static_cast<double>(std::numeric_limits<std::uint64_t>::max());
    figures.samplesNeededForTenthLsb = more >= largest ? std::numeric_limits<std::uint64_t>::max()
                                                       : static_cast<std::uint64_t>(more);
    if (sampleRate && *sampleRate > 0 && std::isfinite(*sampleRate))
        figures.secondsNeededForTenthLsb = more / *sampleRate;
}

// The INL's counting noise from the hits of the analysed codes, and the
// samples that bring it to the resolution asked for: it falls as one over the
// square root of the samples.
void assessInlUncertainty(std::span<const std::uint64_t> counts, const HistogramShape &shape,
    const CodeDensityOptions &options, std::vector<double> gain, LinearityFigures &figures)
{
    const int analysed = figures.analysedCodes();
    double samples = 0;
    for (int code = figures.firstCode; code <= figures.lastCode; ++code)
        samples += static_cast<double>(counts[code]);
    if (analysed <= 0 || samples <= 0)
        return;
    if (gain.empty()) // ramp: a share of the samples is that share of the codes
        gain.assign(analysed, double(analysed));
    std::vector<double> share(analysed), position(analysed);
    double below = 0;
    for (int code = figures.firstCode; code <= figures.lastCode; ++code) {
        below += static_cast<double>(counts[code]);
        share[code - figures.firstCode] = below / samples;
        position[code - figures.firstCode] = code;
    }
    const InlUncertainty u = inlUncertainty(share, gain, position, samples);
    figures.inlEndPointUncertainty99 = u.endPoint99;
    figures.inlBestFitUncertainty99 = u.bestFit99;
    figures.inlEndPointUncertaintyCode = u.endPointCode;
    figures.inlBestFitUncertaintyCode = u.bestFitCode;
    figures.inlResolution = options.inlResolution;
    if (!(options.inlResolution > 0) || u.endPoint99 <= 0)
        return;
    const double ratio = u.endPoint99 / options.inlResolution;
    const double more = std::max(0.0, std::ceil(shape.total * ratio * ratio - shape.total));
    const double largest = static_cast<double>(std::numeric_limits<std::uint64_t>::max());
    figures.samplesNeededForInlResolution = more >= largest
        ? std::numeric_limits<std::uint64_t>::max()
        : static_cast<std::uint64_t>(more);
    if (options.sampleRate && *options.sampleRate > 0 && std::isfinite(*options.sampleRate))
        figures.secondsNeededForInlResolution = more / *options.sampleRate;
}

void extremesOf(LinearityFigures &figures)
{
    const int first = figures.firstCode;
    const int last = figures.lastCode;
    figures.dnlMin = lowestOf(figures.dnl, first, last);
    figures.dnlMax = highestOf(figures.dnl, first, last);
    figures.inlEndPointMin = lowestOf(figures.inlEndPoint, first, last);
    figures.inlEndPointMax = highestOf(figures.inlEndPoint, first, last);
    figures.inlBestFitMin = lowestOf(figures.inlBestFit, first, last);
    figures.inlBestFitMax = highestOf(figures.inlBestFit, first, last);
}

} // namespace

std::optional<LinearityFigures> analyseLinearity(std::span<const std::uint64_t> counts,
    const HistogramShape &shape, TestKind kind, const CodeDensityOptions &options)
{
    LinearityFigures figures;
    figures.firstCode = shape.lowest + 1;
    figures.lastCode = shape.highest - 1;
    if (kind == TestKind::Sine) {
        const SineCodes codes = sineAnalysedCodes(counts, shape);
        figures.firstCode = codes.first;
        figures.lastCode = codes.last;
    }
    figures.dnl.assign(counts.size(), 0);
    figures.inlEndPoint.assign(counts.size(), 0);
    figures.inlBestFit.assign(counts.size(), 0);
    std::vector<double> inlGain;
    if (kind == TestKind::Ramp)
        rampDnl(counts, figures);
    else if (!sineDnl(counts, shape, figures, inlGain))
        return std::nullopt;
    integrate(figures);
    extremesOf(figures);
    assessQuality(counts, shape, options.sampleRate, figures);
    assessInlUncertainty(counts, shape, options, std::move(inlGain), figures);
    if (kind == TestKind::Ramp)
        figures.partialSweep = partialSweepOf(counts, figures);
    else
        figures.rangeWarning = sineReachWarning(figures, static_cast<int>(counts.size()));
    return figures;
}
