#include "DynamicAnalysis.h"

#include "Periodogram.h"
#include "SineFit.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <numeric>

namespace {

// Shorter records hold too few bins for a tone, its harmonics and the noise.
constexpr std::size_t shortestRecord = 64;
// A tone's peak bin stands this far above the mean noise bin (30 dB), or the
// record holds no tone worth measuring: noise alone reaches some 10 dB
// above its mean in a spectrum of 2^20 bins.
constexpr double toneOverNoise = 1000;
// A coherent tone leaves its neighbours at the noise: within ten times the
// mean noise bin, which noise alone passes but for one time in 20000. A
// leak that small spreads less than 0.1 % of the noise's power.
constexpr double coherentNeighbourLimit = 10;

// No figures at all: a limit or a report must not find some of them.
DynamicResult failed(const DynamicResult &partial, std::string reason)
{
    DynamicResult result;
    result.bits = partial.bits;
    result.sampleRate = partial.sampleRate;
    result.averages = partial.averages;
    result.samples = partial.samples;
    result.recordLength = partial.recordLength;
    result.reason = std::move(reason);
    return result;
}

// The mean power of a noise bin, read from the median of bins 1..: a bin of
// noise is exponentially distributed, its median the mean times ln 2, and
// the few bins of tones do not move the median.
double medianNoise(const std::vector<double> &power)
{
    std::vector<double> bins(power.begin() + 1, power.end());
    auto middle = bins.begin() + std::ptrdiff_t(bins.size() / 2);
    std::nth_element(bins.begin(), middle, bins.end());
    return *middle / std::numbers::ln2;
}

std::size_t largestBin(const std::vector<double> &power, std::size_t from, std::size_t to)
{
    std::size_t best = from;
    for (std::size_t k = from; k <= to; ++k)
        if (power[k] > power[best])
            best = k;
    return best;
}

// A frequency in cycles per sample, aliased into 0..0.5.
double folded(double frequency)
{
    const double f = frequency - std::floor(frequency);
    return f > 0.5 ? 1 - f : f;
}

double ratioDb(double power, double reference)
{
    return power > 0 && reference > 0 ? std::max(-300.0, 10 * std::log10(power / reference))
                                      : -300.0;
}

// Where between bins the tone lies, in bins. The rectangular window's
// neighbours fall as |X(k+1)| / |X(k)| = d / (1 - d); another window's main
// lobe is symmetric about the tone, so its centre of power is.
double interpolatedBin(
    const std::vector<double> &power, std::size_t peak, int halfWidth, bool coherent)
{
    const std::size_t last = power.size() - 1;
    if (halfWidth == 0) {
        if (coherent)
            return double(peak);
        const double here = std::sqrt(power[peak]);
        const double left = peak > 0 ? std::sqrt(power[peak - 1]) : 0;
        const double right = peak < last ? std::sqrt(power[peak + 1]) : 0;
        if (here <= 0)
            return double(peak);
        return right >= left ? double(peak) + right / (here + right)
                             : double(peak) - left / (here + left);
    }
    double weighted = 0;
    double total = 0;
    const std::size_t from = peak > std::size_t(halfWidth) ? peak - halfWidth : 0;
    for (std::size_t k = from; k <= std::min(last, peak + halfWidth); ++k) {
        weighted += double(k) * power[k];
        total += power[k];
    }
    return total > 0 ? weighted / total : double(peak);
}

// The bins a tone centred on `centre` holds that no other has taken; they
// are taken for it. Returns their power and how many there were.
std::pair<double, std::size_t> takeTone(
    const std::vector<double> &power, std::vector<bool> &taken, std::size_t centre, int halfWidth)
{
    double sum = 0;
    std::size_t count = 0;
    const std::size_t from = centre > std::size_t(halfWidth) ? centre - halfWidth : 0;
    for (std::size_t k = from; k <= std::min(power.size() - 1, centre + halfWidth); ++k) {
        if (taken[k])
            continue;
        taken[k] = true;
        sum += power[k];
        ++count;
    }
    return {sum, count};
}

std::string decibels(double value)
{
    return std::to_string(int(std::lround(value))) + " dB";
}

} // namespace

std::optional<CoherentSuggestion> coherentSuggestion(double frequency, std::uint64_t samples)
{
    if (samples < 4 || !(frequency > 0 && frequency < 0.5))
        return std::nullopt;
    const double target = frequency * double(samples);
    const std::int64_t highest = std::int64_t((samples - 1) / 2); // below samples / 2
    std::int64_t below = std::int64_t(std::floor(target));
    std::int64_t above = below + 1;
    // Candidates in order of their distance from the target.
    while (below >= 1 || above <= highest) {
        const bool takeBelow
            = below >= 1 && (above > highest || target - double(below) <= double(above) - target);
        const std::int64_t cycles = takeBelow ? below-- : above++;
        if (cycles <= highest && cycles % 2 == 1 && std::gcd(std::uint64_t(cycles), samples) == 1)
            return CoherentSuggestion {
                std::uint64_t(cycles), samples, double(cycles) / double(samples)};
    }
    return std::nullopt;
}

namespace {

DynamicResult analyse(std::span<const std::uint16_t> codes, const DynamicOptions &options)
{
    DynamicResult r;
    r.bits = options.bits;
    r.sampleRate = options.sampleRate;
    r.averages = std::max(1, options.averages);
    const std::size_t length = codes.size() / std::size_t(r.averages);
    r.recordLength = length;
    r.samples = length * std::size_t(r.averages);
    if (codes.empty())
        return failed(r, "no samples");
    if (length < shortestRecord)
        return failed(r,
            std::to_string(length) + " samples per record; the dynamic analysis needs at least "
                + std::to_string(shortestRecord));
    if (options.sampleRate && !(std::isfinite(*options.sampleRate) && *options.sampleRate > 0))
        return failed(r, "the sample rate is not a positive number");
    if (options.fundamental && !(*options.fundamental > 0 && *options.fundamental < 0.5))
        return failed(r, "the fundamental named lies outside 0 to half the sample rate");
    const std::span<const std::uint16_t> analysed = codes.first(r.samples);
    if (std::ranges::adjacent_find(analysed, std::not_equal_to {}) == analysed.end())
        return failed(
            r, "constant: every sample is code " + std::to_string(analysed.front()) + ", no tone");
    const std::vector<double> x(analysed.begin(), analysed.end());
    const std::size_t half = length / 2;

    // The record is coherent when the rectangular window leaves the tone on
    // one bin, its neighbours at the noise.
    const std::vector<double> rectangular = powerSpectrum(x, length, SpectrumWindow::Rectangular);
    const auto searchRange = [&](std::size_t lowest, int halfWidth) {
        if (!options.fundamental)
            return std::pair {lowest, half};
        const auto centre = std::size_t(std::llround(*options.fundamental * double(length)));
        const std::size_t reach = std::size_t(halfWidth) + 2;
        return std::pair {
            std::max(lowest, centre > reach ? centre - reach : 0), std::min(half, centre + reach)};
    };
    {
        const auto [from, to] = searchRange(1, 0);
        const std::size_t peak = largestBin(rectangular, from, to);
        const double limit
            = coherentNeighbourLimit * medianNoise(rectangular) + 1e-20 * rectangular[peak];
        r.coherent
            = rectangular[peak - 1] <= limit && (peak == half || rectangular[peak + 1] <= limit);
    }
    r.window = options.window.value_or(
        r.coherent ? SpectrumWindow::Rectangular : SpectrumWindow::BlackmanHarris7);
    const std::vector<double> power = r.window == SpectrumWindow::Rectangular
        ? rectangular
        : powerSpectrum(x, length, r.window);
    r.spectrumDbfs.resize(power.size());
    std::ranges::transform(
        power, r.spectrumDbfs.begin(), [&](double p) { return powerDbfs(p, r.bits); });

    const int halfWidth = mainLobeHalfWidth(r.window);
    const auto [from, to] = searchRange(std::size_t(halfWidth) + 1, halfWidth);
    if (from > to)
        return failed(r,
            options.fundamental ? "the fundamental named lies within the DC bins of the window"
                                : "the record is too short for the window");
    const std::size_t peak = largestBin(power, from, to);
    const double noiseEstimate = medianNoise(power);
    if (!(power[peak] > toneOverNoise * noiseEstimate))
        return failed(r,
            "no tone stands out of the noise"
                + (power[peak] > noiseEstimate ? ": the largest is "
                            + decibels(ratioDb(power[peak], noiseEstimate)) + " above it, "
                            + decibels(10 * std::log10(toneOverNoise)) + " are needed"
                                               : std::string()));

    // The spectrum places the tone to a fraction of a bin; the fit then
    // pins it down, and the harmonics are placed from the fit.
    const double estimate = interpolatedBin(power, peak, halfWidth,
                                r.coherent && r.window == SpectrumWindow::Rectangular)
        / double(length);
    r.fit = fitSine(x, estimate);
    const double frequency
        = r.fit.converged && std::abs(r.fit.frequency - estimate) * double(length) < 1
        ? r.fit.frequency
        : estimate;
    if (r.fit.converged && r.fit.residualRms > 0)
        r.enobFitBits = std::log2(std::ldexp(1.0, r.bits) / (r.fit.residualRms * std::sqrt(12.0)));

    std::vector<bool> taken(power.size(), false);
    takeTone(power, taken, 0, halfWidth);
    const auto [fundamentalPower, fundamentalBins] = takeTone(power, taken, peak, halfWidth);
    r.fundamental = {1, frequency, peak, powerDbfs(fundamentalPower, r.bits), 0};
    double harmonicPower = 0;
    std::size_t harmonicBins = 0;
    double spurPower = 0;
    for (int order = 2; order <= options.harmonics; ++order) {
        const double f = folded(order * frequency);
        const auto centre = std::min(half, std::size_t(std::llround(f * double(length))));
        if (taken[centre])
            continue;
        const auto [p, bins] = takeTone(power, taken, centre, halfWidth);
        harmonicPower += p;
        harmonicBins += bins;
        r.harmonics.push_back(
            {order, f, centre, powerDbfs(p, r.bits), ratioDb(p, fundamentalPower)});
        if (p > spurPower) {
            spurPower = p;
            r.spur = r.harmonics.back();
        }
    }
    // What is left is noise and any other spur; the largest of them, its
    // main lobe summed like the tones', may be the SFDR's spur.
    double noisePower = 0;
    std::size_t noiseBins = 0;
    std::size_t loudest = 0;
    for (std::size_t k = 1; k < power.size(); ++k) {
        if (taken[k])
            continue;
        noisePower += power[k];
        ++noiseBins;
        if (loudest == 0 || power[k] > power[loudest])
            loudest = k;
    }
    if (noiseBins == 0)
        return failed(r, "the record is too short for the window: no bins are left for the noise");
    {
        std::vector<bool> scratch = taken;
        const double p = takeTone(power, scratch, loudest, halfWidth).first;
        if (p > spurPower) {
            spurPower = p;
            const double f = double(loudest) / double(length);
            r.spur = {0, f, loudest, powerDbfs(p, r.bits), ratioDb(p, fundamentalPower)};
        }
    }

    // The bins of DC, the tone and the harmonics hold noise too: each is
    // counted as a mean noise bin, so that the noise covers the whole band.
    const double noiseMean = noisePower / double(noiseBins);
    const double bandBins = double(power.size() - 1);
    const double noise = noiseMean * bandBins;
    const double noiseAndDistortion = noiseMean * (bandBins - double(harmonicBins)) + harmonicPower;
    r.noiseFloorDbfs = powerDbfs(noiseMean, r.bits);
    if (noise > 0)
        r.snrDb = 10 * std::log10(fundamentalPower / noise);
    if (noiseAndDistortion > 0) {
        r.sinadDb = 10 * std::log10(fundamentalPower / noiseAndDistortion);
        r.enobBits = (*r.sinadDb - 1.76) / 6.02;
    }
    r.thdDb = ratioDb(harmonicPower, fundamentalPower);
    if (spurPower > 0)
        r.sfdrDb = 10 * std::log10(fundamentalPower / spurPower);
    if (!r.coherent)
        r.suggestion = coherentSuggestion(frequency, length);
    r.ok = true;
    return r;
}

} // namespace

DynamicResult analyseDynamic(std::span<const std::uint16_t> codes, const DynamicOptions &options)
{
    // Some 40 bytes a sample: a record of 2^26 takes near 3 GB. Without
    // them the figures are missing, not the program's other outputs.
    try {
        return analyse(codes, options);
    } catch (const std::bad_alloc &) {
        DynamicResult r;
        r.bits = options.bits;
        r.sampleRate = options.sampleRate;
        return failed(r,
            "not enough memory for the dynamic analysis of " + std::to_string(codes.size())
                + " samples");
    }
}
