#include "TextTable.h"

#include <algorithm>
#include <clocale>
#include <cwchar>

#include <locale.h>

namespace {

// The code point of the UTF-8 sequence at `at`, which moves past it. A byte
// that begins no well-formed sequence stands for U+FFFD, as a terminal
// shows it.
char32_t nextCodePoint(std::string_view text, std::size_t &at)
{
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at++);
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0)
        return U'\uFFFD';
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if (at == text.size() || (byte(at) & 0xC0) != 0x80)
            return U'\uFFFD';
        code = (code << 6) | (byte(at++) & 0x3F);
    }
    return code;
}

// wcwidth() answers after the C library's Unicode tables only in a UTF-8
// locale, which the program's own need not be: it asks in C.UTF-8, for this
// thread alone. Without that locale every character takes one column.
std::size_t columnsOf(char32_t code)
{
    if (code < 0x80)
        return 1;
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (utf8 == locale_t(nullptr))
        return 1;
    const locale_t previous = uselocale(utf8);
    const int columns = wcwidth(wchar_t(code));
    uselocale(previous);
    // -1: not printable or not assigned; a terminal shows a box for it.
    return columns < 0 ? 1 : std::size_t(columns);
}

std::string padded(const std::string &text, std::size_t columns, bool right)
{
    const std::size_t width = displayWidth(text);
    const std::string fill(columns > width ? columns - width : 0, ' ');
    return right ? fill + text : text + fill;
}

} // namespace

std::size_t displayWidth(std::string_view text)
{
    std::size_t width = 0;
    for (std::size_t at = 0; at < text.size();)
        width += columnsOf(nextCodePoint(text, at));
    return width;
}

std::vector<std::string> tableLines(const std::vector<std::vector<std::string>> &rows,
    TableAlignment alignment, std::string_view indent)
{
    std::vector<std::size_t> widths;
    for (const auto &row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], displayWidth(row[i]));
    }
    const bool numbers = alignment == TableAlignment::Numbers;
    std::vector<std::string> lines;
    for (const auto &row : rows) {
        std::string line(indent);
        for (std::size_t i = 0; i < row.size(); ++i) {
            const bool last = i + 1 == row.size();
            if (i > 0)
                line += "  ";
            line += last && !numbers ? row[i] : padded(row[i], widths[i], numbers && i > 0);
        }
        lines.push_back(line);
    }
    return lines;
}
