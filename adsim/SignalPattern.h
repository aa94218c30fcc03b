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
    };

    SignalPattern(const Settings &settings, std::uint64_t seed);

    int nextCode();

    static std::optional<Shape> shapeFromName(std::string_view name);
    static std::string_view shapeName(Shape shape);

private:
    int sineCode() const;
    double nextLevel();

    Settings m_settings;
    std::unique_ptr<const ConverterModel> m_converter; // none: the ideal codes as before
    RandomSource m_random;
    std::uint64_t m_frame = 0;
};
