#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool isIgnoredSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexDigitValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

double parseHex(std::string_view digits)
{
    double value = 0;
    for (char c : digits) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return std::isinf(value) ? std::numeric_limits<double>::max() : value;
}

// Takes the longest prefix of `text` shaped like [sign] digits [. digits]
// [e [sign] digits] with at least one mantissa digit, and converts it.
double parseDecimal(std::string_view text)
{
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t mantissaStart = pos;
    std::size_t mantissaDigits = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        ++pos;
        ++mantissaDigits;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) {
            ++pos;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0;

    std::size_t end = pos;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exponent = pos + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        if (exponent < text.size() && isDigit(text[exponent])) {
            while (exponent < text.size() && isDigit(text[exponent]))
                ++exponent;
            end = exponent;
        }
    }

    const std::string_view number = text.substr(mantissaStart, end - mantissaStart);
    double magnitude = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), magnitude);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone when it cannot be represented: decide
        // between overflow and underflow from the exponent's sign.
        const auto e = number.find_first_of("eE");
        const bool tiny
            = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
        magnitude = tiny ? 0.0 : std::numeric_limits<double>::max();
    }
    return negative ? -magnitude : magnitude;
}

} // namespace

double parseNumber(std::string_view text)
{
    std::string compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (!isIgnoredSpace(c))
            compact.push_back(c);
    }
    if (compact.size() >= 2 && compact[0] == '&' && (compact[1] == 'H' || compact[1] == 'h'))
        return parseHex(std::string_view(compact).substr(2));
    return parseDecimal(compact);
}

std::int16_t toInt16(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= -32768.5)
        return std::numeric_limits<std::int16_t>::min();
    if (value >= 32767.5)
        return std::numeric_limits<std::int16_t>::max();

    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0))
        whole += 1;
    return static_cast<std::int16_t>(whole);
}

std::string formatNumber(double value)
{
    if (value == 0 || std::isnan(value))
        return "0"; // also -0: no sign in front of zero
    char buffer[400];
    std::to_chars_result result;
    if (std::trunc(value) == value)
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0);
    else
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

std::string formatSigned(double value)
{
    std::string text = formatNumber(value);
    if (text.front() != '-')
        text.insert(text.begin(), ' ');
    return text;
}

IntegerText::IntegerText(std::int64_t value)
{
    const auto result = std::to_chars(m_text.data(), m_text.data() + m_text.size(), value);
    m_length = static_cast<std::size_t>(result.ptr - m_text.data());
}
