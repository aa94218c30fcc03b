#include "SignalPattern.h"

#include <algorithm>
#include <cmath>
#include <numbers>

SignalPattern::SignalPattern(const Settings &settings, std::uint64_t seed)
    : m_settings(settings)
    , m_random(seed)
{ }

int SignalPattern::nextCode()
{
    int code = 0;
    switch (m_settings.shape) {
    case Shape::Fixed:
        code = m_settings.code;
        break;
    case Shape::Noise: {
        const double value = m_settings.code + m_settings.sigma * m_random.gaussian();
        code = static_cast<int>(std::lround(std::clamp(value, 0.0, double(maxCode))));
        break;
    }
    case Shape::Ramp:
        code = static_cast<int>(m_frame % (maxCode + 1));
        break;
    case Shape::Sine:
        code = sineCode();
        break;
    }
    ++m_frame;
    return std::clamp(code, 0, maxCode);
}

int SignalPattern::sineCode() const
{
    // The phase is taken from the frame number modulo the period so that it
    // stays exact however long the run.
    const std::uint64_t period = std::max<std::uint64_t>(m_settings.period, 1);
    const double phase = double(m_frame % period) / double(period);
    const double half = maxCode / 2.0;
    return static_cast<int>(std::lround(half + half * std::sin(2.0 * std::numbers::pi * phase)));
}

std::optional<SignalPattern::Shape> SignalPattern::shapeFromName(std::string_view name)
{
    for (Shape shape : {Shape::Fixed, Shape::Noise, Shape::Ramp, Shape::Sine}) {
        if (shapeName(shape) == name)
            return shape;
    }
    return std::nullopt;
}

std::string_view SignalPattern::shapeName(Shape shape)
{
    switch (shape) {
    case Shape::Fixed:
        return "fixed";
    case Shape::Noise:
        return "noise";
    case Shape::Ramp:
        return "ramp";
    case Shape::Sine:
        return "sine";
    }
    return {};
}
