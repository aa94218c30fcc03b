#pragma once

#include <string>
#include <string_view>

// Text read from a file as a message shows it: in double quotes, its first 40
// characters, control characters and bytes outside ASCII written as \xNN, so
// that a file's bytes never reach the terminal as they are.
std::string quotedText(std::string_view text);
