#pragma once

#include "ConverterModel.h"
#include "RandomSource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

// The converter's input signal: yields the code (0..4095) for each frame in
// turn. With a faulty converter (or a DC level) the signal is an analogue
// level put through the ConverterModel; the ramp and sine are then sampled at
// a random point of each step, so that every level of their sweep is equally
// likely and the histogram shows the code widths.
//
// A sine given a frequency (a tone) is different: it is sampled exactly at
// each frame, as a converter clocked at the frame rate samples its input, with
// any harmonic distortion added, so that its spectrum is known.
class SignalPattern
{
public:
    enum class Shape { Fixed, Noise, Ramp, Sine, Dc };

    static constexpr int maxCode = 4095;

    struct Settings
    {
        Shape shape = Shape::Noise;
        int code = 2048; // Fixed: the code; Noise: the centre
        double sigma = 3.0; // Noise: standard deviation in codes
        std::uint64_t period = 1000; // Sine: frames per cycle, at least 1
        double level = 2048; // Dc: the input level in LSB
        double amplitude = maxCode / 2.0; // Sine: in LSB around mid-scale
        ConverterModel::Settings converter {};
        // Sine as a tone: `frequency` cycles per frame, or coherent, exactly
        // `cycles` cycles in every `record` frames (record non-zero). Either
        // makes the sine a tone and `period` is then unused.
        double frequency = 0;
        std::uint64_t cycles = 0;
        std::uint64_t record = 0;
        double phase = 0; // radians at frame 0
        // The 2nd and 3rd harmonics in dB relative to the fundamental; none
        // when not given.
        std::optional<double> hd2Dbc {};
        std::optional<double> hd3Dbc {};

        bool tone() const { return shape == Shape::Sine && (frequency > 0 || record > 0); }
    };

    // The sine's frequency, in cycles per frame, when neither a period nor a
    // tone is asked for: about 1000 frames a cycle, but not a whole number
    // of them (the golden section of a frame more), so that no two cycles
    // sample the same levels and the sine sweeps every code in turn. A
    // period that divides the frame rate comes back to the same few hundred
    // levels every cycle and leaves most codes unhit.
    static constexpr double defaultSineFrequency = 1 / 1000.6180339887498949;

    // The most frames a coherent record may have, so that the phase
    // arithmetic stays exact in 64 bits.
    static constexpr std::uint64_t maxRecord = std::uint64_t(1) << 32;

    SignalPattern(const Settings &settings, std::uint64_t seed);

    int nextCode();

    static std::optional<Shape> shapeFromName(std::string_view name);
    static std::string_view shapeName(Shape shape);

private:
    int sineCode() const;
    double nextLevel();
    // The tone's input level at the current frame, in LSB.
    double toneLevel() const;

    Settings m_settings;
    std::unique_ptr<const ConverterModel> m_converter; // none: the ideal codes as before
    RandomSource m_random;
    std::uint64_t m_frame = 0;
    double m_hd2 = 0; // harmonic amplitudes relative to the fundamental
    double m_hd3 = 0;
};
