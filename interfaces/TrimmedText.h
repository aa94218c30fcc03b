#pragma once

#include <string_view>

// `text` without the characters of `blanks` at either end: a cell of a file or
// a value on a command line, read without the spacing around it.
std::string_view trimmed(std::string_view text, std::string_view blanks);
