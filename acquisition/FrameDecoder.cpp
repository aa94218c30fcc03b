#include "FrameDecoder.h"

#include <array>
#include <cstdint>

namespace {

// What each character is to decoding: a hex digit's value, a blank that is
// skipped, or the end of the number. One look-up per character, as the loop
// decodes every frame.
constexpr std::uint8_t blank = 16;
constexpr std::uint8_t endOfNumber = 17;

constexpr std::array<std::uint8_t, 256> characterKinds = [] {
    std::array<std::uint8_t, 256> kinds {};
    kinds.fill(endOfNumber);
    for (int digit = 0; digit < 10; ++digit)
        kinds['0' + digit] = std::uint8_t(digit);
    for (int letter = 0; letter < 6; ++letter) {
        kinds['A' + letter] = std::uint8_t(10 + letter);
        kinds['a' + letter] = std::uint8_t(10 + letter);
    }
    kinds[' '] = kinds['\t'] = kinds['\n'] = blank;
    return kinds;
}();

} // namespace

// The frame's head read as "&H" followed by it would be by parseNumber, without
// building that text: blanks (space, tab, line feed) are skipped, the first
// other non-hex character ends the number.
int decodeSample(std::string_view frame)
{
    int value = 0;
    for (const char c : frame.substr(0, 3)) {
        const std::uint8_t kind = characterKinds[static_cast<std::uint8_t>(c)];
        if (kind == blank)
            continue;
        if (kind == endOfNumber)
            break;
        value = value * 16 + kind;
    }
    return value;
}
