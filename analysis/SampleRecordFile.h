#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <vector>

// A sample record as a file: NumPy's .npy (written as a one-dimensional
// little-endian uint16 array, so that numpy.load opens it; read as any
// integer array, see readNpyRecord) or a CSV table with the header
// "sample,code", one row per sample in arrival order.
std::string sampleRecordNpy(std::span<const std::uint16_t> codes);
std::string sampleRecordCsv(std::span<const std::uint16_t> codes);

struct SampleRecordReading
{
    std::vector<std::uint16_t> codes;
    std::string error; // empty when the input was such a record

    bool ok() const { return error.empty(); }
};

// Reads either form; at most maxSampleRecordLength samples, and each code
// below 2^bits. Messages show the file's bytes with control characters
// escaped.
SampleRecordReading readSampleRecord(std::istream &in, int bits = 12);

inline constexpr std::size_t maxSampleRecordLength = std::size_t(1) << 26;

// Whether the input begins as a sample record (the .npy magic, or a first
// line "sample,code") rather than a histogram; the stream is left where it
// was.
bool looksLikeSampleRecord(std::istream &in);
