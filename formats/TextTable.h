#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The columns a UTF-8 text takes on a terminal: one for most characters
// ("±", "µ", "≥"), two for East Asian wide ones, none for a combining mark.
// Neither its bytes nor its UTF-16 units: "µ" is two of the one and one of
// the other, "日" three and one, and each takes a column or two.
std::size_t displayWidth(std::string_view text);

enum class TableAlignment {
    Text, // every column to the left, the last one not padded
    Numbers, // the first column to the left, the others to the right
};

// The lines of a table of UTF-8 cells, each beginning with `indent`, its
// columns two spaces apart and as wide as their widest cell on a terminal.
std::vector<std::string> tableLines(const std::vector<std::vector<std::string>> &rows,
    TableAlignment alignment, std::string_view indent = "  ");
