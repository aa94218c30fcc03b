#include "Periodogram.h"

#include "HugePages.h"
#include "SpectrumWorkspace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

// Cosine-sum windows: w[n] = sum_k (-1)^k a_k cos(2 pi k n / N).
std::span<const double> cosineTerms(SpectrumWindow window)
{
    static constexpr double rectangular[] = {1.0};
    static constexpr double hann[] = {0.5, 0.5};
    static constexpr double blackmanHarris4[] = {0.35875, 0.48829, 0.14128, 0.01168};
    static constexpr double blackmanHarris7[] = {0.27105140069342, 0.43329793923448,
        0.21812299954311, 0.06592544638803, 0.01081174209837, 0.00077658482522, 0.00001388721735};
    switch (window) {
    case SpectrumWindow::Rectangular:
        return rectangular;
    case SpectrumWindow::Hann:
        return hann;
    case SpectrumWindow::BlackmanHarris4:
        return blackmanHarris4;
    case SpectrumWindow::BlackmanHarris7:
        return blackmanHarris7;
    }
    return rectangular;
}

namespace {

// The window of `Terms` cosine terms. The term count is fixed here so that
// the inner sum unrolls: a sample then costs a few multiplications, where a
// loop of unknown length cost as much as the transform.
template<std::size_t Terms>
std::vector<double> cosineSum(std::span<const double> terms, std::size_t n)
{
    std::vector<double> w(n);
    // cos(a) by rotation, taken afresh every block so that rounding cannot
    // build up; cos(k a) from it by the Chebyshev recurrence: no cosine a
    // sample.
    constexpr std::size_t block = 1024;
    const double step = 2 * std::numbers::pi / double(n);
    const double stepCos = std::cos(step);
    const double stepSin = std::sin(step);
    double c = 1;
    double s = 0;
    // The periodic window is even about sample 0, w[n - i] = w[i]; and for
    // an even n, cos(k (pi - a)) = (-1)^k cos(k a) gives w[n/2 - i] from the
    // even and odd terms of w[i]. A quarter is computed, the rest follows.
    const bool even = n % 2 == 0;
    const std::size_t computed = even ? n / 4 + 1 : n / 2 + 1;
    for (std::size_t i = 0; i < std::min(n, computed); ++i) {
        if (i % block == 0) {
            c = std::cos(step * double(i));
            s = std::sin(step * double(i));
        }
        double previous = 1;
        double current = c;
        double evenTerms = terms[0];
        double oddTerms = 0;
        for (std::size_t k = 1; k < Terms; ++k) {
            (k % 2 ? oddTerms : evenTerms) += terms[k] * current;
            const double next = 2 * c * current - previous;
            previous = current;
            current = next;
        }
        w[i] = evenTerms - oddTerms;
        if (even)
            w[n / 2 - i] = evenTerms + oddTerms;
        const double next = c * stepCos - s * stepSin;
        s = s * stepCos + c * stepSin;
        c = next;
    }
    for (std::size_t i = n / 2 + 1; i < n; ++i)
        w[i] = w[n - i];
    return w;
}

} // namespace

std::vector<double> windowCoefficients(SpectrumWindow window, std::size_t n)
{
    const std::span<const double> terms = cosineTerms(window);
    switch (terms.size()) {
    case 2:
        return cosineSum<2>(terms, n);
    case 4:
        return cosineSum<4>(terms, n);
    case 7:
        return cosineSum<7>(terms, n);
    default:
        return std::vector<double>(n, terms[0]);
    }
}

int mainLobeHalfWidth(SpectrumWindow window)
{
    // Leakage beyond these, for a tone anywhere between two bins: -33 dBc
    // (Hann), -86 dBc (four-term), -123 dBc (seven-term).
    switch (window) {
    case SpectrumWindow::Rectangular:
        return 0;
    case SpectrumWindow::Hann:
        return 2;
    case SpectrumWindow::BlackmanHarris4:
        return 4;
    case SpectrumWindow::BlackmanHarris7:
        return 6;
    }
    return 0;
}

std::vector<double> powerSpectrum(
    std::span<const double> samples, std::size_t length, SpectrumWindow window)
{
    return SpectrumWorkspace().powerSpectrum(samples, length, window);
}

double fullScalePower(int bits)
{
    // 2^bits by a shift where it fits, as every converter's does: the
    // spectrum in dBFS asks for it bin by bin.
    const double codes
        = bits >= 0 && bits < 64 ? double(std::uint64_t(1) << bits) : std::ldexp(1.0, bits);
    const double peak = codes / 2;
    return peak * peak / 2;
}

double powerDbfs(double power, int bits)
{
    return power > 0 ? std::max(-300.0, 10 * std::log10(power / fullScalePower(bits))) : -300.0;
}

std::vector<double> spectrumDbfs(std::span<const double> power, int bits)
{
    // 10 log10(p / full) = (10 / ln 10) ln p - 10 log10(full): a denormal
    // or zero power still ends at the floor of -300 dB.
    const double decibelsPerNeper = 10 / std::numbers::ln10;
    const double fullScaleDb = 10 * std::log10(fullScalePower(bits));
    std::vector<double> dbfs;
    reserveInHugePages(dbfs, power.size());
    dbfs.resize(power.size());
    for (std::size_t k = 0; k < power.size(); ++k)
        dbfs[k] = power[k] > 0
            ? std::max(-300.0, decibelsPerNeper * std::log(power[k]) - fullScaleDb)
            : -300.0;
    return dbfs;
}

std::size_t noiseSampleStride(std::size_t bins)
{
    // Some 8192 bins spread over the band tell the median to 2 %.
    constexpr std::size_t enough = 8192;
    return std::max<std::size_t>(1, bins / enough);
}

double medianNoiseOfSamples(std::vector<double> &samples)
{
    auto middle = samples.begin() + std::ptrdiff_t(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle / std::numbers::ln2;
}

double medianNoiseBin(const std::vector<double> &power)
{
    const std::size_t stride = noiseSampleStride(power.size());
    std::vector<double> bins;
    bins.reserve(power.size() / stride + 1);
    for (std::size_t k = 1; k < power.size(); k += stride)
        bins.push_back(power[k]);
    return medianNoiseOfSamples(bins);
}
