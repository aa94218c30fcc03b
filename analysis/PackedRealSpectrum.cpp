#include "PackedRealSpectrum.h"

#include <cmath>
#include <numbers>

namespace {

std::complex<double> rootOfUnity(std::size_t k, std::size_t n)
{
    const double angle = -2 * std::numbers::pi * (double(k) / double(n));
    return {std::cos(angle), std::sin(angle)};
}

// The product as written: no call for the corner cases of infinities,
// which finite bins never meet.
std::complex<double> times(std::complex<double> a, std::complex<double> b)
{
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

} // namespace

std::complex<double> PackedRealSpectrum::twiddle(std::size_t k) const
{
    return times(m_coarse[k / m_step], m_fine[k % m_step]);
}

PackedRealSpectrum::PackedRealSpectrum(std::size_t n)
    : m_length(n)
    , m_step(1)
{
    const std::size_t last = n / 4;
    while (m_step * m_step <= last)
        m_step *= 2;
    m_fine.reserve(m_step);
    for (std::size_t k = 0; k < m_step; ++k)
        m_fine.push_back(rootOfUnity(k, n));
    m_coarse.reserve(last / m_step + 1);
    for (std::size_t j = 0; j <= last / m_step; ++j)
        m_coarse.push_back(rootOfUnity(j * m_step, n));
}

void PackedRealSpectrum::unpack(std::complex<double> *bins) const
{
    const std::size_t half = m_length / 2;
    // Bin 0 of the pairs' transform holds the sums of the even and of the
    // odd samples: DC is their sum, fs/2 their difference.
    const std::complex<double> first = bins[0];
    bins[0] = {first.real() + first.imag(), 0};
    bins[half] = {first.real() - first.imag(), 0};
    // Bins k and half - k from the pairs' bins k and half - k, whose even
    // and odd samples' parts E and O are shared: X[k] = E + W^k O and
    // X[half - k] = conj(E - W^k O).
    for (std::size_t k = 1; 2 * k <= half; ++k) {
        const std::complex<double> a = bins[k];
        const std::complex<double> b = std::conj(bins[half - k]);
        const std::complex<double> even = (a + b) * 0.5;
        const std::complex<double> difference = (a - b) * 0.5;
        const std::complex<double> odd = {difference.imag(), -difference.real()}; // / i
        const std::complex<double> turned = times(twiddle(k), odd);
        bins[k] = even + turned;
        if (2 * k != half)
            bins[half - k] = std::conj(even - turned);
    }
}
