#pragma once

#include "CodeDensityResult.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <vector>

// The histogram as comma-separated text that a spreadsheet or pandas.read_csv
// opens without options: the header "code,count", then one row per code with
// its count. With an analysis that defines them, the columns "dnl_lsb",
// "inl_lsb" (end-point) and "inl_best_fit_lsb" follow, empty for codes
// outside the analysed range.
std::string histogramCsv(
    std::span<const std::uint64_t> counts, const CodeDensityResult *analysis = nullptr);

struct HistogramCsvReading
{
    std::vector<std::uint64_t> counts; // one per code, from code 0
    std::string error; // "line N: ..." when the text is not such a table
    bool headerFound = false; // the header "code,count" was read: the text is such a table

    bool ok() const { return error.empty(); }
};

// Reads a table written by histogramCsv, or the same table saved again by a
// spreadsheet: a UTF-8 byte-order mark, CRLF line ends, quoted cells and ';'
// or tab separators are accepted. Codes must run 0, 1, 2, ... without gaps;
// columns after the count are ignored. At most maxHistogramCsvCodes rows, of
// at most maxHistogramCsvLine characters; at most maxHistogramCsvBytes read.
// Messages show the file's bytes with control characters escaped.
HistogramCsvReading readHistogramCsv(std::istream &in);

inline constexpr int maxHistogramCsvCodes = 65536;
// Longer lines, or more bytes in all, and the input is no such table (a
// device such as /dev/zero, a binary file); reading stops there.
inline constexpr std::size_t maxHistogramCsvLine = 4096;
inline constexpr std::size_t maxHistogramCsvBytes = 64 * 1024 * 1024;
