#pragma once

#include <string_view>

// The reading a frame carries: its first three characters (fewer if the frame
// is shorter) read as hexadecimal, stopping at the first character that is not
// a hex digit. Always a code from 0 to 4095.
int decodeSample(std::string_view frame);
