#pragma once

#include <string_view>

// The reading a frame carries: its first three characters (fewer if the frame
// is shorter) read as hexadecimal. Blanks among them (space, tab, line feed)
// are skipped, as parseNumber skips them; any other character that is not a
// hex digit ends the number. Always a code from 0 to 4095.
int decodeSample(std::string_view frame);
