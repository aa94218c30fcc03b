#include "LineSettings.h"

#include <charconv>
#include <vector>

namespace {

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

    switch (parts[1][0] | 0x20) { // either case
    case 'n':
        settings.parity = Parity::None;
        break;
    case 'e':
        settings.parity = Parity::Even;
        break;
    case 'o':
        settings.parity = Parity::Odd;
        break;
    case 'm':
        settings.parity = Parity::Mark;
        break;
    case 's':
        settings.parity = Parity::Space;
        break;
    default:
        return std::nullopt;
    }

    const auto dataBits = toInt(parts[2]);
    if (!dataBits || *dataBits < 5 || *dataBits > 8)
        return std::nullopt;
    settings.dataBits = *dataBits;

    if (parts[3] == "1")
        settings.stopBits = StopBits::One;
    else if (parts[3] == "1.5")
        settings.stopBits = StopBits::OneAndHalf;
    else if (parts[3] == "2")
        settings.stopBits = StopBits::Two;
    else
        return std::nullopt;
    return settings;
}
