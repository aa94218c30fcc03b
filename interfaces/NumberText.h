#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The text/number conversions used by the fields, the captions and the frame
// decoder. None of them ever fails: every text has a value and every value a text.

// The number that `text` begins with. Spaces, tabs and line feeds anywhere are
// ignored; an optional sign, digits, a decimal point and an exponent are read,
// or hexadecimal digits after a leading "&H" (either case). Reading stops at the
// first character that cannot continue the number; no number at all gives 0.
// Values too large for a double saturate at the largest finite double.
double parseNumber(std::string_view text);

// Rounds to the nearest integer, a half to the even neighbour (2047.5 -> 2048,
// 1050.5 -> 1050), saturating at -32768 and 32767. NaN gives 0.
std::int16_t toInt16(double value);

// Decimal digits with a leading "-" for a negative number; a whole-valued number
// prints without a decimal point.
std::string formatNumber(double value);

// As formatNumber, but a non-negative number gets a leading space where the sign
// would stand.
std::string formatSigned(double value);

// formatNumber of a whole number, held in the object itself: the acquisition
// loop shows several numbers per frame and allocates nothing for them.
class IntegerText
{
public:
    explicit IntegerText(std::int64_t value);
    std::string_view view() const { return {m_text.data(), m_length}; }
    operator std::string_view() const { return view(); }

private:
    std::array<char, 20> m_text; // "-9223372036854775808" at the longest
    std::size_t m_length;
};
