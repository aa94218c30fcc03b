#pragma once

#include "LotSummary.h"

#include <optional>
#include <string>
#include <string_view>

// The lot report's HTML tables. Every text from the database is escaped
// here or by the caller before it reaches a cell.

std::string cell(const std::string &escapedText, bool number = false);

// A number the figure may lack (σ of one value, a limit), written by `text`.
template<typename Text> std::string optionalCell(const std::optional<double> &value, Text text)
{
    return cell(value ? text(*value) : "&ndash;", true);
}

std::string lotName(const std::string &lot);

// A wide block that scrolls sideways on a narrow screen instead of pushing
// the page wider than it.
std::string scrolling(const std::string &html);

// A section's heading, then its table, or a line saying it has nothing.
std::string tableSection(std::string_view heading, std::string_view none,
    std::string_view headerCells, const std::string &rows);

// One row per board: its tests in time order as pass and fail marks, the
// last one counting.
std::string historySection(const LotSummary &lot);

// The analyses of files, apart from the tests that count.
std::string reanalysisSection(const LotSummary &lot);
