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
    return times(m_coarse[k >> m_stepBits], m_fine[k & ((std::size_t(1) << m_stepBits) - 1)]);
}

PackedRealSpectrum::PackedRealSpectrum(std::size_t n)
    : m_length(n)
{
    const std::size_t last = n / 4;
    while ((std::size_t(1) << (2 * m_stepBits)) <= last)
        ++m_stepBits;
    const std::size_t step = std::size_t(1) << m_stepBits;
    m_fine.reserve(step);
    for (std::size_t k = 0; k < step; ++k)
        m_fine.push_back(rootOfUnity(k, n));
    m_coarse.reserve(last / step + 1);
    for (std::size_t j = 0; j <= last / step; ++j)
        m_coarse.push_back(rootOfUnity(j * step, n));
}

void PackedRealSpectrum::unpack(std::complex<double> *bins) const
{
    const std::size_t half = m_length / 2;
    // Bin 0 of the pairs' transform holds the sums of the even and of the
    // odd samples: DC is their sum, fs/2 their difference.
    const std::complex<double> first = bins[0];
    bins[0] = {first.real() + first.imag(), 0};
    bins[half] = {first.real() - first.imag(), 0};
    // Bins k and half - k from the pairs' bins a = Z[k] and b = Z[half - k]:
    // the even samples' part E = (a + conj b) / 2, the odd ones'
    // O = (a - conj b) / 2i, and X[k] = E + W^k O, X[half - k] =
    // conj(E - W^k O). Written out in real arithmetic: the compiler leaves
    // std::complex's operators to calls at this optimisation.
    for (std::size_t k = 1; 2 * k <= half; ++k) {
        const std::complex<double> a = bins[k];
        const std::complex<double> b = bins[half - k];
        const double evenRe = 0.5 * (a.real() + b.real());
        const double evenIm = 0.5 * (a.imag() - b.imag());
        const double oddRe = 0.5 * (a.imag() + b.imag());
        const double oddIm = -0.5 * (a.real() - b.real());
        const std::complex<double> w = twiddle(k);
        const double turnedRe = w.real() * oddRe - w.imag() * oddIm;
        const double turnedIm = w.real() * oddIm + w.imag() * oddRe;
        bins[k] = {evenRe + turnedRe, evenIm + turnedIm};
        if (2 * k != half)
            bins[half - k] = {evenRe - turnedRe, turnedIm - evenIm};
    }
}
