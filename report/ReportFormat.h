#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text from the results database made safe for each output, and numbers
// written the same in every locale. Every text goes through validUtf8 first:
// a byte that is not UTF-8 becomes U+FFFD, so no output is left invalid.

std::string validUtf8(std::string_view text);

// For a terminal: control characters (an escape sequence could rewrite the
// screen) shown as U+FFFD.
std::string printableText(std::string_view text);

// For HTML text and attribute values: & < > " ' as entities, control
// characters dropped.
std::string htmlEscaped(std::string_view text);

// One CSV field. Quoted when it holds a comma, a quote or a line break. A text
// a spreadsheet would run as a formula (beginning with = + - @, a tab or a
// carriage return) gets a leading apostrophe: a serial "=HYPERLINK(...)"
// stays text.
std::string csvText(std::string_view text);

// A number with `significant` digits, "%g"-like ("0.125", "1.5e-07"), in the
// C locale.
std::string numberText(double value, int significant = 6);
// A share as a percentage with one decimal: "93.8 %".
std::string percentText(double share);
// The count and its noun in the right number: "1 board", "2 boards".
std::string countedText(std::uint64_t count, std::string_view one, std::string_view many);
