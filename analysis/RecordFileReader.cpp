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
        reading.error = path + ": " + table.error;
        return;
    }
    const std::size_t codes = std::size_t(1) << bits;
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
    const bool npy = path.size() >= 4
        && std::ranges::equal(path.substr(path.size() - 4), std::string_view(".npy"),
            [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    return npy ? sampleRecordNpy(codes) : sampleRecordCsv(codes);
}
