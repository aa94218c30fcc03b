#pragma once

#include "CodeDensityResult.h"

#include <cstdint>
#include <optional>
#include <span>

struct CodeDensityOptions
{
    std::optional<TestKind> kind; // empty: detect it from the histogram's shape
    std::optional<double> sampleRate; // samples per second, for the time still needed
    double inlResolution = 0.5; // LSB at 99 %: the samples still needed are given for it
};

// Analyses a code-density histogram (one count per code, any length; 4096 for
// a 12-bit converter). Any counts are accepted: an empty histogram or one the
// kind does not fit gives kindFits false with a reason, never inf or NaN.
CodeDensityResult analyseCodeDensity(
    std::span<const std::uint64_t> counts, const CodeDensityOptions &options = {});

// The same, with the sample record the histogram counts: where it holds
// every sample counted, a ramp's DNL and INL come from its whole sweeps
// only, which a capture part-way through a sweep would otherwise distort.
// Any other record is not used.
CodeDensityResult analyseCodeDensity(std::span<const std::uint64_t> counts,
    std::span<const std::uint16_t> record, const CodeDensityOptions &options);

// The kind whose histogram this most resembles: a bell around one level (DC
// noise), a flat spread (ramp) or a spread rising towards both ends (sine).
TestKind detectTestKind(std::span<const std::uint64_t> counts);
