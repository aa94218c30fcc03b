#include "RecordFileReader.h"

#include "HistogramCsv.h"
#include "RegularFileBuffer.h"
#include "SampleRecordFile.h"

#include <algorithm>
#include <cctype>
#include <istream>

namespace {

RecordFileReading failed(std::string message)
{
    RecordFileReading reading;
    reading.error = std::move(message);
    return reading;
}

bool hasNpyName(std::string_view path)
{
    return path.size() >= 4
        && std::ranges::equal(path.substr(path.size() - 4), std::string_view(".npy"),
            [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// Whether the file's first bytes hold a NUL, as binary files do and text
// never does; the stream is left at its start.
bool startsAsBinary(std::istream &in)
{
    in.clear();
    in.seekg(0);
    char head[64] = {};
    in.read(head, sizeof head);
    const std::string_view text(head, std::size_t(in.gcount()));
    in.clear();
    in.seekg(0);
    return text.find('\0') != std::string_view::npos;
}

void readRecord(std::istream &in, const std::string &path, int bits, RecordFileReading &reading)
{
    SampleRecordReading record = readSampleRecord(in, bits);
    if (!record.ok()) {
        reading.error = path + ": " + record.error;
        return;
    }
    reading.counts.assign(std::size_t(1) << bits, 0);
    for (const std::uint16_t code : record.codes)
        ++reading.counts[code];
    reading.record = std::move(record.codes);
}

void readHistogram(std::istream &in, const std::string &path, int bits, RecordFileReading &reading)
{
    HistogramCsvReading table = readHistogramCsv(in);
    if (!table.ok()) {
        // No header: the file is none of the forms read. One named .npy is
        // told that it is not one, rather than what a table would need.
        if (!table.headerFound && hasNpyName(path))
            reading.error = path
                + ": not a NumPy file (bad magic number: its first bytes are not "
                  "\\x93NUMPY)";
        else if (!table.headerFound && startsAsBinary(in))
            reading.error = path
                + ": not a NumPy file (its first bytes are not \\x93NUMPY) "
                  "and not a histogram CSV ("
                + table.error + ")";
        else
            reading.error = path + ": " + table.error;
        return;
    }
    const std::size_t codes = std::size_t(1) << bits;
    reading.tableRows = table.counts.size();
    if (table.counts.size() != codes) {
        reading.error = path + ": " + std::to_string(table.counts.size()) + " rows, but a "
            + std::to_string(bits) + "-bit converter has " + std::to_string(codes)
            + " codes (--bits N for another resolution)";
        return;
    }
    reading.counts = std::move(table.counts);
    reading.fromHistogram = true;
}

} // namespace

RecordFileReading readRecordFile(const std::string &path, int bits)
{
    RegularFileBuffer file;
    if (!file.open(path))
        return failed("cannot read " + path + ": " + file.error());
    std::istream in(&file);
    RecordFileReading reading;
    if (in.peek() == std::char_traits<char>::eof() && file.error().empty())
        return failed(path + ": an empty file");
    if (looksLikeSampleRecord(in))
        readRecord(in, path, bits, reading);
    else
        readHistogram(in, path, bits, reading);
    // A read that failed part way is the reason, not what the cut text
    // looked like.
    if (!file.error().empty())
        return failed("cannot read " + path + ": " + file.error());
    return reading;
}

std::string recordFileContents(std::string_view path, std::span<const std::uint16_t> codes)
{
    return hasNpyName(path) ? sampleRecordNpy(codes) : sampleRecordCsv(codes);
}
