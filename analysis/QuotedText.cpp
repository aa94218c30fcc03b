#include "QuotedText.h"

std::string quotedText(std::string_view text)
{
    constexpr std::size_t shown = 40;
    std::string quoted = "\"";
    for (const char c : text.substr(0, shown)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            constexpr char hex[] = "0123456789ABCDEF";
            quoted += "\\x";
            quoted += hex[byte >> 4];
            quoted += hex[byte & 0xF];
        } else {
            quoted += c;
        }
    }
    return quoted + (text.size() > shown ? "...\"" : "\"");
}
