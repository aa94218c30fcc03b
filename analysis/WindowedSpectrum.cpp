#include "WindowedSpectrum.h"

#include "Periodogram.h"
#include "SineSweep.h"

#include <array>
#include <cstring>
#include <numeric>

namespace {

DoublePair loadBin(const std::complex<double> *bin)
{
    DoublePair pair;
    std::memcpy(&pair, bin, sizeof pair);
    return pair;
}

// The windowed power of bins from..to, each with `Terms` neighbours either
// side in `bins`: the term count fixed, so that the sum unrolls and a bin
// costs a few multiplications, where a loop of unknown length cost a call
// and a branch a term. The sum runs as windowedBin() runs it.
template<std::size_t Terms>
void windowedRun(std::span<const double> terms, std::span<const std::complex<double>> bins,
    std::size_t from, std::size_t to, std::size_t n, double scale, double *power)
{
    std::array<double, Terms> half;
    half[0] = terms[0];
    for (std::size_t m = 1; m < Terms; ++m)
        half[m] = (m % 2 ? -0.5 : 0.5) * terms[m];
    for (std::size_t k = from; k < to; ++k) {
        const std::complex<double> *centre = bins.data() + k;
        DoublePair sum = half[0] * loadBin(centre);
#pragma GCC unroll 8
        for (std::size_t m = 1; m < Terms; ++m)
            sum += half[m] * (loadBin(centre - m) + loadBin(centre + m));
        const DoublePair squares = sum * sum;
        power[k] = scaledBinPower(squares[0] + squares[1], k, n, scale);
    }
}

} // namespace

std::complex<double> twoSidedBin(
    std::span<const std::complex<double>> bins, long long k, long long n)
{
    k %= n;
    if (k < 0)
        k += n;
    return k < std::ssize(bins) ? bins[std::size_t(k)] : std::conj(bins[std::size_t(n - k)]);
}

std::complex<double> windowedBin(std::span<const double> terms, const std::complex<double> *centre)
{
    DoublePair sum = terms[0] * loadBin(centre);
    for (std::size_t m = 1; m < terms.size(); ++m) {
        const double half = (m % 2 ? -0.5 : 0.5) * terms[m];
        sum += half * (loadBin(centre - m) + loadBin(centre + m));
    }
    return {sum[0], sum[1]};
}

double windowPowerSum(SpectrumWindow window, std::size_t n)
{
    const std::span<const double> terms = cosineTerms(window);
    // The cosines are orthogonal over whole periods while no two of them
    // meet at a multiple of n; a shorter record sums its coefficients.
    if (n <= 2 * terms.size()) {
        const std::vector<double> w = windowCoefficients(window, n);
        return std::inner_product(w.begin(), w.end(), w.begin(), 0.0);
    }
    double squares = terms[0] * terms[0];
    for (std::size_t m = 1; m < terms.size(); ++m)
        squares += terms[m] * terms[m] / 2;
    return double(n) * squares;
}

double scaledBinPower(double squared, std::size_t k, std::size_t n, double scale)
{
    const bool single = k == 0 || (n % 2 == 0 && k == n / 2);
    return single ? squared * scale : squared * (2 * scale);
}

std::vector<double> windowedPowerSpectrum(
    std::span<const std::complex<double>> bins, std::size_t length, SpectrumWindow window)
{
    std::vector<double> power;
    windowedPowerSpectrum(bins, length, window, power);
    return power;
}

void windowedPowerSpectrum(std::span<const std::complex<double>> bins, std::size_t length,
    SpectrumWindow window, std::vector<double> &power)
{
    if (length < 2 || bins.size() != length / 2 + 1) {
        power.clear();
        return;
    }
    const std::span<const double> terms = cosineTerms(window);
    const double windowPower
        = window == SpectrumWindow::Rectangular ? double(length) : windowPowerSum(window, length);
    const std::size_t reach = terms.size() - 1;
    // Every bin is written below.
    power.resize(bins.size());
    const double scale = 1.0 / (double(length) * windowPower);
    const auto store = [&](std::size_t k, std::complex<double> bin) {
        power[k] = scaledBinPower(std::norm(bin), k, length, scale);
    };
    const auto n = static_cast<long long>(length);
    // The bins within the window's reach of either end take their
    // neighbours from the mirror image; the rest straight from `bins`.
    const std::size_t inner = std::min(reach, bins.size());
    const std::size_t innerEnd = std::max(inner, bins.size() > reach ? bins.size() - reach : 0);
    switch (terms.size()) {
    case 1:
        windowedRun<1>(terms, bins, inner, innerEnd, length, scale, power.data());
        break;
    case 2:
        windowedRun<2>(terms, bins, inner, innerEnd, length, scale, power.data());
        break;
    case 4:
        windowedRun<4>(terms, bins, inner, innerEnd, length, scale, power.data());
        break;
    case 7:
        windowedRun<7>(terms, bins, inner, innerEnd, length, scale, power.data());
        break;
    default:
        for (std::size_t k = inner; k < innerEnd; ++k)
            store(k, windowedBin(terms, bins.data() + k));
    }
    std::vector<std::complex<double>> edge(2 * reach + 1);
    for (std::size_t k = 0; k < bins.size(); ++k) {
        if (k == inner)
            k = innerEnd;
        if (k == bins.size())
            break;
        for (std::size_t j = 0; j < edge.size(); ++j)
            edge[j] = twoSidedBin(
                bins, static_cast<long long>(k + j) - static_cast<long long>(reach), n);
        store(k, windowedBin(terms, edge.data() + reach));
    }
}
