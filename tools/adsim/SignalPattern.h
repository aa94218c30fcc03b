#pragma once

#include "RandomSource.h"

#include <cstdint>
#include <optional>
#include <string_view>

// The converter's input signal: yields the code (0..4095) for each frame in
// turn.
class SignalPattern
{
public:
    enum class Shape { Fixed, Noise, Ramp, Sine };

    static constexpr int maxCode = 4095;

    struct Settings
    {
        Shape shape = Shape::Noise;
        int code = 2048; // Fixed: the code; Noise: the centre
        double sigma = 3.0; // Noise: standard deviation in codes
        std::uint64_t period = 1000; // Sine: frames per cycle, at least 1
    };

    SignalPattern(const Settings &settings, std::uint64_t seed);

    int nextCode();

    static std::optional<Shape> shapeFromName(std::string_view name);
    static std::string_view shapeName(Shape shape);

private:
    int sineCode() const;

    Settings m_settings;
    RandomSource m_random;
    std::uint64_t m_frame = 0;
};
