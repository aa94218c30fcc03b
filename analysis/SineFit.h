#pragma once

#include "DynamicResult.h"

#include <span>

// The IEEE 1057 sine fits: code = offset + amplitude cos(2 pi f n + phase),
// n counted from the record's first sample.

// The three-parameter fit at a known frequency (cycles per sample): a
// linear least-squares fit of amplitude, phase and offset. converged is set
// when the fit could be solved.
SineFitFigures fitSineAtFrequency(std::span<const double> samples, double frequency);

// The four-parameter fit, the frequency fitted too: the three-parameter fit
// at `frequency`, then Gauss-Newton steps of all four until the frequency
// moves by less than a millionth of a bin. When it does not settle, or
// wanders more than a bin and a half from where it started, converged is
// false and the figures are the three-parameter fit's.
SineFitFigures fitSine(std::span<const double> samples, double frequency);
