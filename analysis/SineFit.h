#pragma once

#include "DynamicResult.h"

#include <span>
#include <vector>

// The IEEE 1057 sine fits: code = offset + amplitude cos(2 pi f n + phase),
// n counted from the record's first sample.

// The three-parameter fit at a known frequency (cycles per sample): a
// linear least-squares fit of amplitude, phase and offset. converged is set
// when the fit could be solved.
SineFitFigures fitSineAtFrequency(std::span<const double> samples, double frequency);

// The four-parameter fit, the frequency fitted too: the three-parameter fit
// at `frequency`, then Gauss-Newton steps of all four until a step moves the
// frequency by less than 1e-5 bins, which leaves it within some 1e-7 bins
// of where further steps would settle. When it does not settle, or
// wanders more than a bin and a half from where it started, converged is
// false and the figures are the three-parameter fit's.
SineFitFigures fitSine(std::span<const double> samples, double frequency);

// The four-parameter fit of a tone with harmonics: a fit of one sine is
// pulled toward a harmonic folded near the tone, by some 0.3 a / d bins for
// one of relative amplitude a, d bins away, enough to hide a record's
// coherence. Each harmonic of orders 2..harmonics is fitted at its
// frequency and taken off, the tone fitted again, and once more from there.
// The figures, the residual too, are the tone's fit to the record itself.
// `first` is the plain fit; binWidth one bin in cycles per sample.
SineFitFigures fitSineBesideHarmonics(
    std::span<const double> samples, const SineFitFigures &first, int harmonics, double binWidth);

// A frequency in cycles per sample, aliased into 0..0.5.
double foldedFrequency(double frequency);

// The fitted sine, not its offset, as a cos(2 pi f t) + b sin(2 pi f t), t
// counted from the middle of a record of `samples` samples, as the fit
// itself reckons it.
struct CentredSine
{
    double a = 0;
    double b = 0;
};
CentredSine centredSine(const SineFitFigures &fit, std::size_t samples);

// The samples with the fitted sine, not its offset, taken off.
std::vector<double> withoutSine(std::span<const double> samples, const SineFitFigures &fit);
// The same into `rest`, whose memory a loop of fits reuses; `rest` must not
// be `samples`.
void withoutSine(
    std::span<const double> samples, const SineFitFigures &fit, std::vector<double> &rest);
