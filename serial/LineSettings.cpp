#include "LineSettings.h"

#include "EnumNames.h"

#include <charconv>
#include <vector>

namespace {

using Parity = LineSettings::Parity;
using StopBits = LineSettings::StopBits;

constexpr EnumName<Parity> parityLetters[] = {
    {Parity::None, "n"},
    {Parity::Even, "e"},
    {Parity::Odd, "o"},
    {Parity::Mark, "m"},
    {Parity::Space, "s"},
};

constexpr EnumName<StopBits> stopBitCounts[] = {
    {StopBits::One, "1"},
    {StopBits::OneAndHalf, "1.5"},
    {StopBits::Two, "2"},
};

std::vector<std::string_view> splitAtCommas(std::string_view text)
{
    std::vector<std::string_view> parts;
    for (std::size_t comma; (comma = text.find(',')) != std::string_view::npos;) {
        parts.push_back(text.substr(0, comma));
        text.remove_prefix(comma + 1);
    }
    parts.push_back(text);
    return parts;
}

std::optional<int> toInt(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<LineSettings> LineSettings::parse(std::string_view text)
{
    const std::vector<std::string_view> parts = splitAtCommas(text);
    if (parts.size() != 4 || parts[1].size() != 1)
        return std::nullopt;

    LineSettings settings;
    const auto baud = toInt(parts[0]);
    if (!baud || *baud <= 0)
        return std::nullopt;
    settings.baudRate = *baud;

    const char letter = static_cast<char>(parts[1][0] | 0x20); // either case
    const auto parity = valueNamed(parityLetters, std::string_view(&letter, 1));
    if (!parity)
        return std::nullopt;
    settings.parity = *parity;

    const auto dataBits = toInt(parts[2]);
    if (!dataBits || *dataBits < 5 || *dataBits > 8)
        return std::nullopt;
    settings.dataBits = *dataBits;

    const auto stopBits = valueNamed(stopBitCounts, parts[3]);
    if (!stopBits)
        return std::nullopt;
    settings.stopBits = *stopBits;
    return settings;
}
