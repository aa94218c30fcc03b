#pragma once

#include "DynamicResult.h"

#include <optional>
#include <span>
#include <string>

// A record of a ramp or a triangle wave is no sine: the figures of a sine
// would only say how little it resembles one. Told apart by which explains
// the record better: the sine fitted, or a triangle or a sawtooth of the
// same period and phase, each with its offset and scale fitted. Checked
// only when the sine leaves more than 1 % of the record's variance, which a
// triangle's harmonics (1.45 %) and a sawtooth's (39 %) do.

// Why the record is not a sine: "the record is a ramp, not a sine (a
// rising sawtooth of the same period leaves 31.2 dB less of it than a sine
// does)"; empty for a sine, however noisy or distorted. `variance`, the
// samples' mean square about their mean, where the caller knows it.
std::string rampInsteadOfSine(std::span<const double> samples, const SineFitFigures &fit,
    std::optional<double> variance = std::nullopt);
