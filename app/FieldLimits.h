#pragma once

#include "WindowToolkit.h"

#include <optional>
#include <string_view>

// The upper limits of the three setting fields. Returns the text to write back
// when `text` reads as a number above the field's limit, or nothing when the
// text may stay. There are no lower limits: negative numbers, zero, letters and
// empty texts stay as typed.
std::optional<std::string_view> fieldLimitReplacement(TextField field, std::string_view text);

// Runs the limit of `field` against its current text, writing the replacement
// back when there is one.
void applyFieldLimit(WindowToolkit &window, TextField field);
