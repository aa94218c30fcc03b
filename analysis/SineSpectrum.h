#pragma once

#include "DynamicResult.h"

#include <array>
#include <complex>
#include <cstddef>

// The transform of a fitted sine over a record of n samples, bin by bin, in
// closed form: the sine a cos(w t) + b sin(w t) about the record's middle
// is two complex exponentials, each of which sums over the record to a
// Dirichlet kernel sin(pi d) / sin(pi d / n), d its distance from the bin
// in bins. What a fit leaves of a record is then, in the frequency domain,
// the record's bins less these, without a transform of its own.
class SineSpectrum
{
public:
    SineSpectrum(const SineFitFigures &fit, std::size_t length);

    // Bin k, for any k (the bins repeat every n), as a forward transform of
    // the samples from the record's first gives it.
    std::complex<double> bin(long long k) const;
    // Bins first..first + count - 1 into `out`: a sine and a cosine a run
    // of bins rather than a bin, where no bin is near the tone's.
    void bins(long long first, std::size_t count, std::complex<double> *out) const;

private:
    static constexpr std::size_t run = 16;
    double kernel(double distance) const;

    double m_length;
    double m_cycles; // the tone's place in bins
    double m_sinCycles; // sin(pi cycles), the kernels' common numerator but its sign
    std::complex<double> m_positive; // (a - ib) / 2, the weight of exp(i w t)
    std::array<std::complex<double>, run> m_steps; // exp(i pi j / n)
};
