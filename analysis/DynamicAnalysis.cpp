#include "DynamicAnalysis.h"

#include "CloseTone.h"
#include "FigureText.h"
#include "HiddenHarmonic.h"
#include "HugePages.h"
#include "Periodogram.h"
#include "RampRecord.h"
#include "RealFft.h"
#include "SineFit.h"
#include "SpectrumComponents.h"
#include "WindowedSpectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>
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
// A record is coherent when the tone's cycles lie so near a whole number
// that the rectangular window's leak into the neighbour bins stays within
// ten times the mean noise bin: the leak is (offset in bins)^2 of the tone.
// A leak that small spreads less than 0.1 % of the noise's power.
constexpr double coherentNeighbourLimit = 10;
// How near a whole number the fitted cycles must lie when the record holds
// no noise to measure: the fit's own rounding is far below it.
constexpr double coherentFloorBins = 1e-6;
// A harmonic a bin from the tone, at -60 dBc, pulls the fit of one sine some
// 0.0003 bins: a fit nearer a whole number than this may be a coherent
// record's, pulled.
constexpr double nearlyCoherentBins = 0.01;
// Nor farther than this, whatever the noise: a leak of -60 dBc.
constexpr double coherentCeilingBins = 1e-3;
// A second tone this near the fundamental meets its main lobe in the
// seven-term window's spectrum: twice the half-width, and a bin.
constexpr double closeToneReachBins = 13;
// The tone needs its main lobe clear of DC's, and a bin to spare.
constexpr int cyclesMargin = 2;

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

std::string decibels(double value)
{
    return std::to_string(int(std::lround(value))) + " dB";
}

std::string oneDecimal(double value)
{
    const long tenths = std::lround(value * 10);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
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

int averagesOf(const DynamicOptions &options)
{
    return std::max(1, options.averages);
}

DynamicResult analyse(std::span<const std::uint16_t> codes, const DynamicOptions &options)
{
    DynamicResult r;
    r.bits = options.bits;
    r.sampleRate = options.sampleRate;
    r.averages = averagesOf(options);
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
    const std::size_t half = length / 2;

    // One record is transformed once: every window's spectrum, and that of
    // what the sine fit leaves, follow from its rectangular bins. Its
    // samples as doubles are the transform's input; records averaged are
    // transformed one by one into that input, and keep a copy.
    SpectrumWorkspace spectra;
    std::vector<double> averagedCopy;
    std::span<const double> x;
    std::span<const std::complex<double>> bins;
    std::optional<double> variance;
    if (r.averages == 1) {
        const SpectrumWorkspace::CodesTransform record = spectra.transformCodes(analysed);
        x = record.samples;
        bins = record.bins;
        variance = record.variance;
    } else {
        averagedCopy.assign(analysed.begin(), analysed.end());
        x = averagedCopy;
    }
    // The spectrum through a window, into `power`: one buffer for every
    // spectrum of the record.
    const auto spectrumOf = [&](SpectrumWindow window, std::vector<double> &power) {
        if (bins.empty())
            power = spectra.powerSpectrum(x, length, window);
        else
            windowedPowerSpectrum(bins, length, window, power);
    };
    std::vector<double> power;
    reserveInHugePages(power, half + 1);
    spectrumOf(SpectrumWindow::Rectangular, power);
    const auto searchRange = [&](std::size_t lowest, int halfWidth) {
        if (!options.fundamental)
            return std::pair {lowest, half};
        const auto centre = std::size_t(std::llround(*options.fundamental * double(length)));
        const std::size_t reach = std::size_t(halfWidth) + 2;
        return std::pair {
            std::max(lowest, centre > reach ? centre - reach : 0), std::min(half, centre + reach)};
    };
    // The tone's place from the rectangular spectrum's peak and neighbours,
    // then from the sine fit. The record is coherent when the fitted cycles
    // lie on a whole number: a neighbour bin cannot tell, since a harmonic
    // folded beside the tone raises it.
    const auto [rectFrom, rectTo] = searchRange(1, 0);
    const std::size_t rectPeak = largestBin(power, rectFrom, rectTo);
    const double rectNoise = medianNoiseBin(power);
    const double rectPeakPower = power[rectPeak];
    const double firstEstimate = interpolatedBin(power, rectPeak, 0, false) / double(length);
    r.fit = fitSine(x, firstEstimate);
    const bool fitted
        = r.fit.converged && std::abs(r.fit.frequency - firstEstimate) * double(length) < 1;
    if (std::string ramp = rampInsteadOfSine(x, r.fit, variance); !ramp.empty()) {
        DynamicResult notSine = failed(r, ramp);
        notSine.toneUndetermined = std::move(ramp);
        return notSine;
    }
    // The leak's allowance against the noise: from the fit's residual, a
    // rectangular bin's mean noise being 2 rms^2 / N and the tone's power
    // amplitude^2 / 2; else from the spectrum's median bin.
    const double noiseOverTone = fitted && r.fit.amplitude > 0
        ? 4 * r.fit.residualRms * r.fit.residualRms
            / (double(length) * r.fit.amplitude * r.fit.amplitude)
        : rectNoise / std::max(rectPeakPower, 1e-300);
    const double tolerance = std::clamp(
        std::sqrt(coherentNeighbourLimit * noiseOverTone), coherentFloorBins, coherentCeilingBins);
    const auto offWhole = [&] {
        const double cycles = r.fit.frequency * double(length);
        return std::abs(cycles - std::round(cycles));
    };
    CloseTone close;
    if (fitted) {
        // Near a whole number, but not on it: a harmonic folded near the
        // tone may have pulled the fit off.
        if (offWhole() > tolerance && offWhole() < nearlyCoherentBins)
            r.fit = fitSineBesideHarmonics(x, r.fit, options.harmonics, 1 / double(length));
        // A transform of the residual must not overwrite the record's bins.
        SpectrumWorkspace residualSpectra;
        close = findCloseTone(x, r.fit, length, options.harmonics, closeToneReachBins,
            toneOverNoise, bins.empty() ? spectra : residualSpectra, bins);
        // The fit of one sine is pulled toward the second tone; the figures
        // of the fit hold it as distortion, as they would a harmonic.
        if (close.separated)
            r.fit = fitSineAtFrequency(x, close.fundamental.frequency);
    }
    double frequency = fitted ? r.fit.frequency : firstEstimate;
    const double cycles = frequency * double(length);
    r.coherent = std::abs(cycles - std::round(cycles)) <= tolerance;
    r.window = options.window.value_or(
        r.coherent ? SpectrumWindow::Rectangular : SpectrumWindow::BlackmanHarris7);
    if (r.window != SpectrumWindow::Rectangular)
        spectrumOf(r.window, power); // the rectangular spectrum is read no more
    if (options.keepSpectrum)
        r.spectrumDbfs = spectrumDbfs(power, r.bits);

    const int halfWidth = mainLobeHalfWidth(r.window);
    const auto [from, to] = searchRange(std::size_t(halfWidth) + 1, halfWidth);
    if (from > to)
        return failed(r,
            options.fundamental ? "the fundamental named lies within the DC bins of the window"
                                : "the record is too short for the window");
    // A tone within the window's DC bins is no tone to the spectrum; its
    // leak would be read as a tone, or as none.
    const int fewestCycles = halfWidth + cyclesMargin;
    if (cycles < fewestCycles && rectPeakPower > toneOverNoise * rectNoise)
        return failed(r,
            "too few cycles in the record for a spectrum: " + oneDecimal(cycles)
                + " cycles, at least " + std::to_string(fewestCycles) + " needed");
    const std::size_t peak = largestBin(power, from, to);
    const double noiseEstimate = medianNoiseBin(power);
    if (!(power[peak] > toneOverNoise * noiseEstimate)) {
        // A fundamental named is looked for only near its bin: say so, or the
        // message reads as if the record held no tone at all.
        const std::string near = options.fundamental
            ? " within " + std::to_string(halfWidth + 2) + " bins of the fundamental named (bin "
                + oneDecimal(*options.fundamental * double(length)) + ")"
            : std::string();
        DynamicResult noTone = failed(r,
            "no tone stands out of the noise" + near
                + (power[peak] > noiseEstimate ? ": the largest is "
                            + decibels(ratioDb(power[peak], noiseEstimate)) + " above it, "
                            + decibels(10 * std::log10(toneOverNoise)) + " are needed"
                                               : std::string()));
        measureWithoutTone(noTone, std::move(r), power, halfWidth);
        return noTone;
    }
    if (!fitted)
        frequency = interpolatedBin(power, peak, halfWidth,
                        r.coherent && r.window == SpectrumWindow::Rectangular)
            / double(length);
    if (r.fit.converged && r.fit.residualRms > 0)
        r.enobFitBits = std::log2(std::ldexp(1.0, r.bits) / (r.fit.residualRms * std::sqrt(12.0)));
    if (r.coherent) {
        const auto whole = std::uint64_t(std::llround(cycles));
        if (const std::uint64_t common = std::gcd(whole, std::uint64_t(length)); common > 1) {
            r.coherenceNote = std::to_string(whole) + " cycles in " + std::to_string(length)
                + " samples share the factor " + std::to_string(common) + ": the sine visits only "
                + std::to_string(length / common) + " phases";
            r.suggestion = coherentSuggestion(frequency, length);
        }
    }

    std::vector<bool> taken(power.size(), false);
    takeTone(power, taken, 0, halfWidth);
    auto [fundamentalPower, fundamentalBins] = takeTone(power, taken, peak, halfWidth);
    // A tone on fs/2 shows only its cosine part, A cos(phase) (-1)^n, whose
    // mean square is twice a sine's of that amplitude: its level is read as
    // the sine's the samples show.
    if (length % 2 == 0 && std::abs(cycles - double(half)) <= tolerance)
        fundamentalPower /= 2;
    r.fundamental = {1, frequency, peak, powerDbfs(fundamentalPower, r.bits), 0};
    double harmonicPower = 0;
    std::size_t harmonicBins = 0;
    double spurPower = 0;
    std::vector<std::pair<int, std::size_t>> placed;
    std::vector<std::string> hidden;
    for (int order = 2; order <= options.harmonics; ++order) {
        const double f = foldedFrequency(order * frequency);
        const auto centre = std::min(half, std::size_t(std::llround(f * double(length))));
        auto [why, takenAsSignal] = hiddenHarmonic(order, centre, peak, half, halfWidth, placed);
        placed.emplace_back(order, centre);
        // A hidden harmonic's own bins still hold distortion, not noise.
        const auto [p, bins] = takeTone(power, taken, centre, halfWidth);
        harmonicPower += p;
        harmonicBins += bins;
        if (!why.empty()) {
            if (takenAsSignal)
                r.sinadUndetermined += (r.sinadUndetermined.empty() ? "" : "; ") + why;
            hidden.push_back(std::move(why));
            continue;
        }
        r.harmonics.push_back(
            {order, f, centre, powerDbfs(p, r.bits), ratioDb(p, fundamentalPower)});
        if (p > spurPower) {
            spurPower = p;
            r.spur = r.harmonics.back();
        }
    }
    double closePower = 0;
    std::size_t closeBins = 0;
    // A second tone beside the fundamental: its power and the fundamental's
    // from their fits, its bins distortion like a harmonic's.
    if (close.separated) {
        fundamentalPower = close.fundamental.amplitude * close.fundamental.amplitude / 2;
        const double p = close.tone.amplitude * close.tone.amplitude / 2;
        const auto bin = std::min(half, std::size_t(std::llround(close.bin)));
        closePower = p;
        closeBins = takeTone(power, taken, bin, halfWidth).second;
        r.fundamental.dbfs = powerDbfs(fundamentalPower, r.bits);
        r.spurs.push_back(
            {0, close.tone.frequency, bin, powerDbfs(p, r.bits), ratioDb(p, fundamentalPower)});
        if (p > spurPower) {
            spurPower = p;
            r.spur = r.spurs.back();
        }
    } else if (close.found) {
        r.sinadUndetermined += std::string(r.sinadUndetermined.empty() ? "" : "; ")
            + "a second tone at bin " + std::to_string(std::lround(close.bin))
            + " shares the fundamental's bins and could not be told apart from it";
    }
    for (const std::string &why : hidden)
        r.thdUndetermined += (r.thdUndetermined.empty() ? "" : "; ") + why;
    // What is left is noise and any other spur; the largest of them, its
    // main lobe summed like the tones', may be the SFDR's spur.
    const FreeBins free = freeBins(power, taken, halfWidth);
    const double noisePower = free.power;
    const std::size_t noiseBins = free.count;
    if (noiseBins == 0)
        return failed(r, "the record is too short for the window: no bins are left for the noise");
    const std::size_t loudest = free.loudest.front();
    if (const double p = freePower(power, taken, loudest, halfWidth); p > spurPower) {
        spurPower = p;
        const double f = double(loudest) / double(length);
        r.spur = {0, f, loudest, powerDbfs(p, r.bits), ratioDb(p, fundamentalPower)};
    }

    // The bins of DC, the tone and the harmonics hold noise too: each is
    // counted as a mean noise bin, so that the noise covers the whole band.
    const double noiseMean = noisePower / double(noiseBins);
    const double bandBins = double(power.size() - 1);
    const double noise = noiseMean * bandBins;
    const double noiseAndDistortion
        = noiseMean * (bandBins - double(harmonicBins + closeBins)) + harmonicPower + closePower;
    setNoiseFigures(r, noiseMean, bandBins);
    listLargestSpurs(r, power, std::move(taken), halfWidth, fundamentalPower, free.loudest);
    r.fundamentalChoice
        = fundamentalChoice(r, options.fundamental.has_value(), 10 * std::log10(toneOverNoise));
    if (noise > 0)
        r.snrDb = 10 * std::log10(fundamentalPower / noise);
    if (noiseAndDistortion > 0 && r.sinadUndetermined.empty()) {
        r.sinadDb = 10 * std::log10(fundamentalPower / noiseAndDistortion);
        r.enobBits = (*r.sinadDb - 1.76) / 6.02;
    }
    // A harmonic or a second tone that could not be measured may be the
    // largest spur.
    r.sfdrUndetermined = r.thdUndetermined.empty() ? r.sinadUndetermined : r.thdUndetermined;
    if (r.thdUndetermined.empty())
        r.thdDb = ratioDb(harmonicPower, fundamentalPower);
    if (spurPower > 0 && r.sfdrUndetermined.empty())
        r.sfdrDb = 10 * std::log10(fundamentalPower / spurPower);
    if (!r.coherent)
        r.suggestion = coherentSuggestion(frequency, length);
    r.ok = true;
    r.hasSpectrum = true;
    return r;
}

} // namespace

std::future<void> prepareDynamicAnalysis(std::size_t samples, const DynamicOptions &options)
{
    const std::size_t length = samples / std::size_t(averagesOf(options));
    return RealFft::prepare(length < shortestRecord ? 0 : length);
}

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
