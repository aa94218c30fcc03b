#pragma once

#include "SampleRecord.h"

#include <array>
#include <cstdint>
#include <span>
#include <span>

// Converter readings are 12-bit codes.
inline constexpr int lowestCode = 0;
inline constexpr int highestCode = 4095;
// The histogram has room beyond the highest code; the plot can show up to
// code 4096 (always empty) and never reads past the last bin.
inline constexpr int histogramBins = 5001;

// Everything the program knows about the measurement: counters, extremes,
// histogram and the display window. The window owns the one instance.
struct MeasurementState
{
    std::int32_t frameCount = 0; // frames since the last RESET or START
    std::int32_t minCode = 0; // smallest reading; 4095 when there is none
    std::int32_t maxCode = 0; // largest reading; 0 when there is none
    std::array<std::int16_t, histogramBins> histogram {}; // frames per code
    // The same counts without the 16-bit limit, for the analysis and the
    // exports: they agree with the histogram until a bin passes 32767.
    std::array<std::uint64_t, histogramBins> wideCounts {};
    std::int16_t centerCode = 0; // middle of the display window
    std::int16_t spanCodes = 0; // endCode - startCode
    std::int16_t fullScaleCount = 0; // count that reaches the top of the plot
    std::int16_t barPitch = 0; // twips between neighbouring bars
    std::int16_t startCode = 0; // first code shown
    std::int16_t endCode = 0; // last code shown
    // The recent readings in arrival order, for the spectrum and the sine
    // fit; START and RESET begin it anew.
    SampleRecord record;
};

// The wide counts of the converter's codes, lowestCode..highestCode: one count
// per code, as the analysis and the exports take them.
inline std::span<const std::uint64_t> codeCounts(const MeasurementState &state)
{
    static_assert(lowestCode == 0, "the counts are indexed by code");
    return std::span<const std::uint64_t>(state.wideCounts).first(highestCode + 1);
}
