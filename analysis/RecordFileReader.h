#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What a saved file holds for the analysis: a sample record, with the
// histogram of its codes, or a histogram alone.
struct RecordFileReading
{
    std::vector<std::uint64_t> counts; // one per code
    std::vector<std::uint16_t> record; // in arrival order; empty for a histogram
    bool fromHistogram = false; // no record: no dynamic figures
    // The rows of a histogram table, also when they are not one per code:
    // a table of another converter's resolution is told apart from one cut
    // short. 0 for a sample record.
    std::size_t tableRows = 0;
    // "cannot read FILE: reason" when the file cannot be read, else
    // "FILE: what is wrong with it"; empty when it was read.
    std::string error;

    bool ok() const { return error.empty(); }
};

// Reads a sample record (.npy, or CSV with "sample,code") or a histogram as
// histogramCsv writes it, of a `bits`-bit converter: one row per code, no
// more and no fewer, so that a file cut short (by a full disk, say) is not
// read as a converter of fewer bits. Anything but a regular file (a folder,
// a FIFO, a device) is refused without waiting on it.
RecordFileReading readRecordFile(const std::string &path, int bits);

// The record as the file at `path` holds it: NumPy's .npy when the name ends
// in .npy (in any case), else CSV.
std::string recordFileContents(std::string_view path, std::span<const std::uint16_t> codes);
