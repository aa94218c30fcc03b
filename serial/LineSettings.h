#pragma once

#include <optional>
#include <string_view>

// Line parameters as a serial control takes them: "9600,n,8,1" is 9600 baud,
// no parity, 8 data bits, 1 stop bit.
struct LineSettings
{
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    int baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    // Nothing when the text is not four comma-separated valid parameters.
    static std::optional<LineSettings> parse(std::string_view text);
};
