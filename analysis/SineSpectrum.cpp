#include "SineSpectrum.h"

#include "SineFit.h"

#include <cmath>
#include <numbers>

namespace {

using std::numbers::pi;

// Far enough from a kernel's pole that sin(x - y) from the sines and
// cosines of x and y loses nothing to cancellation.
constexpr double nearPoleBins = 48;

double parity(double whole)
{
    return std::fmod(whole, 2) == 0 ? 1.0 : -1.0;
}

// sin(pi x), reduced to the nearest whole number first so that a distance
// of a million bins keeps its fraction's digits.
double sinPi(double x)
{
    const double whole = std::round(x);
    return parity(whole) * std::sin(pi * (x - whole));
}

} // namespace

SineSpectrum::SineSpectrum(const SineFitFigures &fit, std::size_t length)
    : m_length(double(length))
    , m_cycles(fit.frequency * double(length))
    , m_sinCycles(sinPi(fit.frequency * double(length)))
{
    const CentredSine sine = centredSine(fit, length);
    m_positive = {sine.a / 2, -sine.b / 2};
    for (std::size_t j = 0; j < run; ++j)
        m_steps[j] = std::polar(1.0, pi * double(j) / m_length);
}

double SineSpectrum::kernel(double distance) const
{
    // sin(pi d) / sin(pi d / n) changes by (-1)^(n + 1) for each n added.
    const double turns = std::round(distance / m_length);
    const double near = distance - turns * m_length;
    const double sign = std::fmod(m_length, 2) == 0 ? parity(turns) : 1.0;
    const double below = std::sin(pi * near / m_length);
    return below == 0 ? sign * m_length : sign * sinPi(near) / below;
}

std::complex<double> SineSpectrum::bin(long long k) const
{
    // The sum runs over t = n - (N - 1) / 2: a forward transform from the
    // first sample turns each bin by exp(-i pi k (N - 1) / N).
    const double kk = double(k);
    const std::complex<double> turn
        = parity(kk) * std::polar(1.0, pi * std::remainder(kk, 2 * m_length) / m_length);
    return turn
        * (m_positive * kernel(m_cycles - kk) + std::conj(m_positive) * kernel(-m_cycles - kk));
}

void SineSpectrum::bins(long long first, std::size_t count, std::complex<double> *out) const
{
    for (std::size_t done = 0; done < count; done += run, first += static_cast<long long>(run)) {
        const std::size_t here = std::min(run, count - done);
        const double k0 = double(first);
        // The kernels' poles lie where the distance is a whole number of n.
        const double above = std::remainder(m_cycles - k0, m_length);
        const double below = std::remainder(-m_cycles - k0, m_length);
        const double reach = nearPoleBins + double(run);
        if (std::abs(above) < reach || std::abs(below) < reach) {
            for (std::size_t j = 0; j < here; ++j)
                out[done + j] = bin(first + static_cast<long long>(j));
            continue;
        }
        // sin(pi (d - j) / n) from sin and cos of pi d / n and pi j / n;
        // (-1)^k of the turn and of the kernels' numerators cancel.
        const double signAbove = parity(std::round((m_cycles - k0 - above) / m_length));
        const double signBelow = parity(std::round((-m_cycles - k0 - below) / m_length));
        const std::complex<double> atAbove = std::polar(1.0, pi * above / m_length);
        const std::complex<double> atBelow = std::polar(1.0, pi * below / m_length);
        const std::complex<double> turn
            = m_sinCycles * std::polar(1.0, pi * std::remainder(k0, 2 * m_length) / m_length);
        for (std::size_t j = 0; j < here; ++j) {
            const std::complex<double> step = m_steps[j];
            const double sinAbove
                = signAbove * (atAbove.imag() * step.real() - atAbove.real() * step.imag());
            const double sinBelow
                = signBelow * (atBelow.imag() * step.real() - atBelow.real() * step.imag());
            out[done + j]
                = turn * step * (m_positive / sinAbove - std::conj(m_positive) / sinBelow);
        }
    }
}
