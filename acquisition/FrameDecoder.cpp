#include "FrameDecoder.h"

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    const char upper = static_cast<char>(c & ~0x20);
    if (upper >= 'A' && upper <= 'F')
        return upper - 'A' + 10;
    return -1;
}

} // namespace

// The frame's head read as "&H" followed by it would be by parseNumber, without
// building that text: blanks (space, tab, line feed) are skipped, the first
// other non-hex character ends the number.
int decodeSample(std::string_view frame)
{
    int value = 0;
    for (const char c : frame.substr(0, 3)) {
        if (c == ' ' || c == '\t' || c == '\n')
            continue;
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return value;
}
