#include "CodeDensityAnalysis.h"

#include "InlUncertainty.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>

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
constexpr double confidence99 = 2.576;
constexpr double targetUncertainty = 0.1;

// Moments and extent of a histogram, in doubles so that any 64-bit counts fit.
struct Shape
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

Shape shapeOf(std::span<const std::uint64_t> counts)
{
    Shape shape;
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

// Mean hits in the outer tenth at each end of the codes strictly inside the
// hit range, over the mean hits in their middle half.
double edgeToCentreRatio(std::span<const std::uint64_t> counts, const Shape &shape)
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

TestKind kindOfShape(std::span<const std::uint64_t> counts, const Shape &shape)
{
    if (shape.total == 0 || shape.span() < narrowestLinearitySpan
        || shape.innerKurtosis > bellKurtosisLimit)
        return TestKind::Dc;
    return edgeToCentreRatio(counts, shape) > sineEdgeRatio ? TestKind::Sine : TestKind::Ramp;
}

bool tooFewToTellKind(const Shape &shape)
{
    return shape.total < samplesPerCodeToTellKind * shape.span();
}

// Codes strictly inside the hit range that were hit.
int innerCodesHit(std::span<const std::uint64_t> counts, const Shape &shape)
{
    int hit = 0;
    for (int code = shape.lowest + 1; code < shape.highest; ++code)
        hit += counts[code] > 0;
    return hit;
}

// Why the histogram cannot be read as this kind; empty when it can.
std::string misfitOf(TestKind kind, std::span<const std::uint64_t> counts, const Shape &shape)
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
              "that does not sweep the codes.";
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

DcNoiseFigures dcFiguresOf(std::span<const std::uint64_t> counts, const Shape &shape, int bits)
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
bool sineDnl(std::span<const std::uint64_t> counts, const Shape &shape, LinearityFigures &figures,
    std::vector<double> &inlGain)
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

void assessQuality(std::span<const std::uint64_t> counts, const Shape &shape,
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
void assessInlUncertainty(std::span<const std::uint64_t> counts, const Shape &shape,
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

const char *testKindName(TestKind kind)
{
    switch (kind) {
    case TestKind::Dc:
        return "DC noise";
    case TestKind::Ramp:
        return "Ramp/triangle";
    case TestKind::Sine:
        return "Sine";
    }
    return "";
}

const char *testKindKey(TestKind kind)
{
    switch (kind) {
    case TestKind::Dc:
        return "dc";
    case TestKind::Ramp:
        return "ramp";
    case TestKind::Sine:
        return "sine";
    }
    return "";
}

std::optional<TestKind> testKindFromKey(std::string_view key)
{
    for (const TestKind kind : {TestKind::Dc, TestKind::Ramp, TestKind::Sine}) {
        if (key == testKindKey(kind))
            return kind;
    }
    return std::nullopt;
}

TestKind detectTestKind(std::span<const std::uint64_t> counts)
{
    return kindOfShape(counts, shapeOf(counts));
}

CodeDensityResult analyseCodeDensity(
    std::span<const std::uint64_t> counts, const CodeDensityOptions &options)
{
    const Shape shape = shapeOf(counts);
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

    LinearityFigures figures;
    figures.firstCode = shape.lowest + 1;
    figures.lastCode = shape.highest - 1;
    figures.dnl.assign(counts.size(), 0);
    figures.inlEndPoint.assign(counts.size(), 0);
    figures.inlBestFit.assign(counts.size(), 0);
    std::vector<double> inlGain;
    if (result.kind == TestKind::Ramp) {
        rampDnl(counts, figures);
    } else if (!sineDnl(counts, shape, figures, inlGain)) {
        result.kindFits = false;
        result.misfitReason = "No sine fits the cumulative histogram.";
        return result;
    }
    integrate(figures);
    extremesOf(figures);
    assessQuality(counts, shape, options.sampleRate, figures);
    assessInlUncertainty(counts, shape, options, std::move(inlGain), figures);
    result.linearity = std::move(figures);
    return result;
}
