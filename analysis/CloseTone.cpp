#include "CloseTone.h"

#include "Periodogram.h"
#include "SineFit.h"
#include "SpectrumWorkspace.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int maxRounds = 40;
constexpr double settledBins = 1e-6;
// Below this part of the tone's power a residual is rounding, not a tone,
// though a record without noise has a noise bin of nought to stand over.
constexpr double smallestTone = 1e-12;

// The centre of power of the main lobe about `peak`, in bins.
double lobeCentre(const std::vector<double> &power, std::size_t peak, int halfWidth)
{
    double weighted = 0;
    double total = 0;
    const std::size_t from = peak > std::size_t(halfWidth) ? peak - halfWidth : 0;
    for (std::size_t k = from; k <= std::min(power.size() - 1, peak + halfWidth); ++k) {
        weighted += double(k) * power[k];
        total += power[k];
    }
    return total > 0 ? weighted / total : double(peak);
}

} // namespace

CloseTone findCloseTone(std::span<const double> samples, const SineFitFigures &fit,
    std::size_t length, int harmonics, double reachBins, double overNoise,
    SpectrumWorkspace &spectra)
{
    CloseTone close;
    std::vector<double> rest = withoutSine(samples, fit);
    const std::vector<double> power
        = spectra.powerSpectrum(rest, length, SpectrumWindow::BlackmanHarris7);
    if (power.size() < 2)
        return close;
    const int halfWidth = mainLobeHalfWidth(SpectrumWindow::BlackmanHarris7);
    const double bins = double(length);
    const double centre = fit.frequency * bins;
    const auto from = std::size_t(std::max(double(halfWidth + 1), std::floor(centre - reachBins)));
    const auto to = std::min(power.size() - 1, std::size_t(std::ceil(centre + reachBins)));
    if (from > to)
        return close;
    const auto peak = std::size_t(std::max_element(power.begin() + std::ptrdiff_t(from),
                                      power.begin() + std::ptrdiff_t(to) + 1)
        - power.begin());
    const double tonePower = fit.amplitude * fit.amplitude / 2;
    if (!(power[peak] > overNoise * medianNoiseBin(power))
        || !(power[peak] > smallestTone * tonePower))
        return close;
    const double estimate = lobeCentre(power, peak, halfWidth);
    for (int order = 2; order <= harmonics; ++order)
        if (std::abs(foldedFrequency(order * fit.frequency) * bins - estimate) < 1)
            return close;
    close.found = true;
    close.bin = estimate;

    SineFitFigures tone = fit;
    SineFitFigures other = fitSine(rest, estimate / bins);
    // Each round takes a tone off into the one buffer: some 8 MB at 2^20.
    for (int round = 0; round < maxRounds && other.converged; ++round) {
        withoutSine(samples, tone, rest);
        const SineFitFigures nextOther = fitSine(rest, other.frequency);
        withoutSine(samples, nextOther, rest);
        const SineFitFigures nextTone = fitSine(rest, tone.frequency);
        if (!nextOther.converged || !nextTone.converged)
            return close;
        const double moved = std::max(std::abs(nextOther.frequency - other.frequency),
                                 std::abs(nextTone.frequency - tone.frequency))
            * bins;
        tone = nextTone;
        other = nextOther;
        if (moved < settledBins) {
            // Two fits on one tone are no two tones.
            close.separated = std::abs(tone.frequency - other.frequency) * bins > 0.5;
            break;
        }
    }
    if (close.separated) {
        close.fundamental = tone;
        close.tone = other;
        close.bin = other.frequency * bins;
    }
    return close;
}
