#include "FrameDecoder.h"

#include "platform/NumberText.h"

#include <string>

int decodeSample(std::string_view frame)
{
    const std::string text = "&H" + std::string(frame.substr(0, 3));
    return static_cast<int>(parseNumber(text));
}
