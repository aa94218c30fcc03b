#pragma once

#include "DynamicResult.h"

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

// A cosine-sum window multiplies the record by a few cosines of whole
// periods, which in the frequency domain adds each bin's neighbours:
// DFT(x w)[k] = a_0 X[k] + sum_m (-1)^m a_m (X[k - m] + X[k + m]) / 2. For
// the periodic window this is exact, so that one transform of the record
// gives its spectrum through any of the windows.

// Bin k of the whole two-sided spectrum of a real record of n samples, for
// any k, from its bins 0..n/2: the bins repeat every n and mirror as
// complex conjugates.
std::complex<double> twoSidedBin(
    std::span<const std::complex<double>> bins, long long k, long long n);

// The complex bin k of a spectrum whose rectangular bins lie about
// `centre`: centre[j] is bin k + j, for |j| below the window's terms.
std::complex<double> windowedBin(std::span<const double> terms, const std::complex<double> *centre);

// The sum of the squares of the window's n coefficients.
double windowPowerSum(SpectrumWindow window, std::size_t n);

// The power of bin k of the one-sided spectrum of n samples from its
// complex bin's |X|^2, scale being 1 / (n sum w^2) (over the records
// averaged). Parseval: sum |X_k|^2 over all n bins = n sum (x w)^2; the
// one-sided bins count twice but for DC and, at even n, fs/2.
double scaledBinPower(double squared, std::size_t k, std::size_t n, double scale);

// The one-sided power spectrum of a record of `length` samples through
// `window`, from `bins`, bins 0..length/2 of the transform of the record
// with its mean taken off: the same as powerSpectrum() of one record.
std::vector<double> windowedPowerSpectrum(
    std::span<const std::complex<double>> bins, std::size_t length, SpectrumWindow window);
// The same into `power`, whose memory is reused when it holds enough.
void windowedPowerSpectrum(std::span<const std::complex<double>> bins, std::size_t length,
    SpectrumWindow window, std::vector<double> &power);
