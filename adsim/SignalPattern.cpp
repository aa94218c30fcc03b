#include "SignalPattern.h"

#include "EnumNames.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr EnumName<SignalPattern::Shape> shapeNames[] = {
    {SignalPattern::Shape::Fixed, "fixed"},
    {SignalPattern::Shape::Noise, "noise"},
    {SignalPattern::Shape::Ramp, "ramp"},
    {SignalPattern::Shape::Sine, "sine"},
    {SignalPattern::Shape::Dc, "dc"},
};

} // namespace

SignalPattern::SignalPattern(const Settings &settings, std::uint64_t seed)
    : m_settings(settings)
    , m_random(seed)
{
    if (settings.shape == Shape::Dc || settings.converter.faulty())
        m_converter = std::make_unique<const ConverterModel>(settings.converter);
    if (settings.hd2Dbc)
        m_hd2 = std::pow(10.0, *settings.hd2Dbc / 20);
    if (settings.hd3Dbc)
        m_hd3 = std::pow(10.0, *settings.hd3Dbc / 20);
}

int SignalPattern::nextCode()
{
    if (m_settings.tone()) {
        const double level = toneLevel();
        ++m_frame;
        const int code = m_converter
            ? m_converter->convert(level, m_random)
            : static_cast<int>(std::lround(std::clamp(level, 0.0, double(maxCode))));
        return std::clamp(code, 0, maxCode);
    }
    if (m_converter) {
        const double level = nextLevel();
        ++m_frame;
        return std::clamp(m_converter->convert(level, m_random), 0, maxCode);
    }
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
    case Shape::Dc:
        break; // always through the converter model
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
    return static_cast<int>(
        std::lround(half + m_settings.amplitude * std::sin(2.0 * std::numbers::pi * phase)));
}

double SignalPattern::toneLevel() const
{
    // The fraction of a cycle reached: exact for a coherent record, where it
    // repeats every `record` frames, and from a 53-bit product otherwise,
    // which stays far inside a code for any run length that matters.
    double cycle;
    if (m_settings.record > 0) {
        const std::uint64_t record = m_settings.record;
        cycle = double(m_settings.cycles % record * (m_frame % record) % record) / double(record);
    } else {
        cycle = std::fmod(m_settings.frequency * double(m_frame), 1.0);
    }
    const double angle = 2.0 * std::numbers::pi * cycle + m_settings.phase;
    return maxCode / 2.0
        + m_settings.amplitude
        * (std::sin(angle) + m_hd2 * std::sin(2 * angle) + m_hd3 * std::sin(3 * angle));
}

double SignalPattern::nextLevel()
{
    switch (m_settings.shape) {
    case Shape::Fixed:
        return m_settings.code;
    case Shape::Noise:
        return m_settings.code + m_settings.sigma * m_random.gaussian();
    case Shape::Ramp: {
        // One code a frame as before, swept 2 LSB beyond each end so that the
        // end codes take the over-range, as on a bench.
        constexpr double low = -2.5;
        constexpr double high = maxCode + 2.5;
        const double step = double(m_frame % (maxCode + 1)) + m_random.unit();
        return low + step * (high - low) / (maxCode + 1);
    }
    case Shape::Sine: {
        const std::uint64_t period = std::max<std::uint64_t>(m_settings.period, 1);
        const double phase = (double(m_frame % period) + m_random.unit()) / double(period);
        return maxCode / 2.0 + m_settings.amplitude * std::sin(2.0 * std::numbers::pi * phase);
    }
    case Shape::Dc:
        return m_settings.level;
    }
    return 0;
}

std::optional<SignalPattern::Shape> SignalPattern::shapeFromName(std::string_view name)
{
    return valueNamed(shapeNames, name);
}

std::string_view SignalPattern::shapeName(Shape shape)
{
    return nameOf(shapeNames, shape);
}
