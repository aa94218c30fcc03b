#include "RandomSource.h"

#include <cmath>
#include <numbers>

RandomSource::RandomSource(std::uint64_t seed)
    : m_engine(seed)
{ }

std::uint64_t RandomSource::below(std::uint64_t bound)
{
    // Rejects the top partial block of the 64-bit range so that every
    // result is equally likely.
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    std::uint64_t value;
    do {
        value = m_engine();
    } while (value >= limit);
    return value % bound;
}

std::uint64_t RandomSource::between(std::uint64_t low, std::uint64_t high)
{
    return low + below(high - low + 1);
}

double RandomSource::unit()
{
    // The top 53 bits fill a double's mantissa exactly.
    return static_cast<double>(m_engine() >> 11) * 0x1.0p-53;
}

bool RandomSource::chance(double probability)
{
    return unit() < probability;
}

double RandomSource::gaussian()
{
    if (m_hasSpareGaussian) {
        m_hasSpareGaussian = false;
        return m_spareGaussian;
    }
    // 1 - unit() lies in (0, 1], so the logarithm is finite. std::log, sqrt,
    // cos and sin may differ in the last bit between C libraries; after
    // rounding to a code that practically never shows.
    const double radius = std::sqrt(-2.0 * std::log(1.0 - unit()));
    const double angle = 2.0 * std::numbers::pi * unit();
    m_spareGaussian = radius * std::sin(angle);
    m_hasSpareGaussian = true;
    return radius * std::cos(angle);
}
