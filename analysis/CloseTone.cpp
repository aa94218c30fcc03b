#include "CloseTone.h"

#include "Periodogram.h"
#include "SineFit.h"
#include "SineSpectrum.h"
#include "SpectrumWorkspace.h"
#include "WindowedSpectrum.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int maxRounds = 40;
constexpr double settledBins = 1e-6;
// Below this part of the tone's power a residual is rounding, not a tone,
// though a record without noise has a noise bin of nought to stand over.
constexpr double smallestTone = 1e-12;
// Reading what the fit leaves from the record's bins costs some 13 bins of
// the sine's closed form for each of the 8192 bins the noise median reads;
// a transform of the residual costs less in a record shorter than this.
constexpr std::size_t shortestFromBins = std::size_t(1) << 17;

// What the fit leaves, through the seven-term window: its power in the
// bins from `first` on, and its mean noise bin.
struct ResidualSpectrum
{
    std::vector<double> power;
    std::size_t first = 0;
    double noise = 0;

    double at(std::size_t k) const { return power[k - first]; }
};

// The centre of power of the main lobe about `peak`, in bins; `last` is the
// spectrum's last bin.
double lobeCentre(
    const ResidualSpectrum &spectrum, std::size_t peak, int halfWidth, std::size_t last)
{
    double weighted = 0;
    double total = 0;
    const std::size_t from = peak > std::size_t(halfWidth) ? peak - halfWidth : 0;
    for (std::size_t k = from; k <= std::min(last, peak + halfWidth); ++k) {
        weighted += double(k) * spectrum.at(k);
        total += spectrum.at(k);
    }
    return total > 0 ? weighted / total : double(peak);
}

// The residual's seven-term spectrum from the record's rectangular bins:
// the residual's bins are the record's less the fitted sine's, its mean
// (bin 0) none, and the window a convolution of them. Only the bins from
// `from` to `to` and those the median noise bin reads are made.
class ResidualBins
{
public:
    ResidualBins(
        std::span<const std::complex<double>> bins, const SineFitFigures &fit, std::size_t length)
        : m_bins(bins)
        , m_sine(fit, length)
        , m_length(static_cast<long long>(length))
        , m_terms(cosineTerms(SpectrumWindow::BlackmanHarris7))
        , m_scale(1.0 / (double(length) * windowPowerSum(SpectrumWindow::BlackmanHarris7, length)))
    { }

    ResidualSpectrum spectrum(std::size_t from, std::size_t to)
    {
        ResidualSpectrum spectrum;
        spectrum.first = from;
        spectrum.power.resize(to - from + 1);
        for (std::size_t k = from; k <= to; k += run)
            windowed(k, std::min(run, to - k + 1), spectrum.power.data() + (k - from));
        const std::size_t stride = noiseSampleStride(m_bins.size());
        std::vector<double> samples;
        samples.resize((m_bins.size() - 2) / stride + 1);
        for (std::size_t i = 0; i < samples.size(); ++i)
            windowed(1 + i * stride, 1, &samples[i]);
        spectrum.noise = medianNoiseOfSamples(samples);
        return spectrum;
    }

private:
    static constexpr std::size_t run = 64;

    // The windowed power of bins k..k + count - 1 into `out`.
    void windowed(std::size_t k, std::size_t count, double *out)
    {
        const std::size_t reach = m_terms.size() - 1;
        const long long first = static_cast<long long>(k) - static_cast<long long>(reach);
        m_rest.resize(count + 2 * reach);
        m_sine.bins(first, m_rest.size(), m_rest.data());
        const auto size = static_cast<long long>(m_rest.size());
        if (first >= 1 && first + size <= std::ssize(m_bins)) {
            // Within the band, DC not among them: the record's own bins, read
            // without the folding (and its divisions) the ends need.
            const std::complex<double> *record = m_bins.data() + first;
            for (std::size_t j = 0; j < m_rest.size(); ++j)
                m_rest[j] = record[j] - m_rest[j];
        } else {
            for (std::size_t j = 0; j < m_rest.size(); ++j) {
                const long long bin = first + static_cast<long long>(j);
                m_rest[j]
                    = bin % m_length == 0 ? 0 : twoSidedBin(m_bins, bin, m_length) - m_rest[j];
            }
        }
        for (std::size_t j = 0; j < count; ++j)
            out[j] = scaledBinPower(std::norm(windowedBin(m_terms, m_rest.data() + reach + j)),
                k + j, std::size_t(m_length), m_scale);
    }

    std::span<const std::complex<double>> m_bins;
    SineSpectrum m_sine;
    long long m_length;
    std::span<const double> m_terms;
    double m_scale;
    std::vector<std::complex<double>> m_rest;
};

} // namespace

CloseTone findCloseTone(std::span<const double> samples, const SineFitFigures &fit,
    std::size_t length, int harmonics, double reachBins, double overNoise,
    SpectrumWorkspace &spectra, std::span<const std::complex<double>> recordBins)
{
    CloseTone close;
    const std::size_t last = length / 2;
    if (length < 2)
        return close;
    const int halfWidth = mainLobeHalfWidth(SpectrumWindow::BlackmanHarris7);
    const double bins = double(length);
    const double centre = fit.frequency * bins;
    const auto from = std::size_t(std::max(double(halfWidth + 1), std::floor(centre - reachBins)));
    const auto to = std::min(last, std::size_t(std::ceil(centre + reachBins)));
    if (from > to)
        return close;
    std::vector<double> rest;
    ResidualSpectrum residual;
    if (length >= shortestFromBins && recordBins.size() == last + 1 && samples.size() == length) {
        residual = ResidualBins(recordBins, fit, length)
                       .spectrum(from - std::size_t(halfWidth),
                           std::min(last, to + std::size_t(halfWidth)));
    } else {
        rest = withoutSine(samples, fit);
        residual.power = spectra.powerSpectrum(rest, length, SpectrumWindow::BlackmanHarris7);
        if (residual.power.size() < 2)
            return close;
        residual.noise = medianNoiseBin(residual.power);
    }
    std::size_t peak = from;
    for (std::size_t k = from; k <= to; ++k)
        if (residual.at(k) > residual.at(peak))
            peak = k;
    const double tonePower = fit.amplitude * fit.amplitude / 2;
    if (!(residual.at(peak) > overNoise * residual.noise)
        || !(residual.at(peak) > smallestTone * tonePower))
        return close;
    const double estimate = lobeCentre(residual, peak, halfWidth, last);
    for (int order = 2; order <= harmonics; ++order)
        if (std::abs(foldedFrequency(order * fit.frequency) * bins - estimate) < 1)
            return close;
    close.found = true;
    close.bin = estimate;

    if (rest.empty())
        rest = withoutSine(samples, fit);
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
