#pragma once

#include "DynamicResult.h"
#include "SpectrumWorkspace.h"

#include <cstddef>
#include <span>
#include <vector>

// The power spectrum of a record, through one of the windows of
// SpectrumWindow. An analysis that takes several spectra of one record
// takes them through a SpectrumWorkspace, which keeps the buffers.

// The cosine terms a_k of a window, w[n] = sum_k (-1)^k a_k cos(2 pi k n / N):
// the rectangular window's is the one term 1.
std::span<const double> cosineTerms(SpectrumWindow window);

// The window's coefficients for a record of n samples, in the periodic
// form, whose main lobe has its nulls on whole bins.
std::vector<double> windowCoefficients(SpectrumWindow window, std::size_t n);

// The bins either side of a tone's centre bin that hold its power: the
// window's main lobe, wide enough that what leaks beyond it stays below a
// 16-bit converter's noise (the four-term window's side lobes, at -92 dB,
// excepted).
int mainLobeHalfWidth(SpectrumWindow window);

// The one-sided power spectrum, bins 0..length/2, averaged over the
// consecutive records of `length` samples that `samples` holds (a shorter
// rest is left out). Each record's mean is taken off before the window, so
// that the offset does not leak. Scaled so that a tone's bins add up to its
// mean square (A^2 / 2 for a sine of amplitude A) and white noise's bins to
// its variance, whatever the window. Empty when length < 2 or `samples`
// holds no whole record.
std::vector<double> powerSpectrum(
    std::span<const double> samples, std::size_t length, SpectrumWindow window);

// The power of a full-scale sine of a bits-bit converter, 2^bits codes peak
// to peak: the 0 dBFS of the spectrum.
double fullScalePower(int bits);

// Power in dB relative to a full-scale sine; 0 power gives -300 dB rather
// than -inf, so that a plot of it has a bottom.
double powerDbfs(double power, int bits);
// The same for every bin of a spectrum: a natural logarithm and a multiply
// a bin, which costs half of log10's, within 1e-12 dB of powerDbfs.
std::vector<double> spectrumDbfs(std::span<const double> power, int bits);

// The mean power of a noise bin, read from the median of bins 1..: a bin of
// noise is exponentially distributed, its median the mean times ln 2, and
// the few bins of tones do not move the median. Read from some thousands of
// bins spread over the band, which tell it well enough.
double medianNoiseBin(const std::vector<double> &power);
// The same in parts, for a spectrum not held whole: the median is read from
// bins 1, 1 + stride, ... of a spectrum of `bins` bins, and the mean noise
// bin from those bins' powers (reordered).
std::size_t noiseSampleStride(std::size_t bins);
double medianNoiseOfSamples(std::vector<double> &samples);
