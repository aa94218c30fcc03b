#include "SampleRecordFile.h"

#include "NpyRecord.h"
#include "QuotedText.h"
#include "TrimmedText.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace {

constexpr std::size_t longestCsvLine = 256;
// Spacing around a cell, and the CR of a line that ends in CRLF.
constexpr std::string_view blanks = " \t\r";

SampleRecordReading failed(std::string message)
{
    SampleRecordReading reading;
    reading.error = std::move(message);
    return reading;
}

bool readWhole(std::string_view text, std::uint64_t &value)
{
    text = trimmed(text, blanks);
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size();
}

SampleRecordReading readCsv(std::istream &in, int bits)
{
    SampleRecordReading reading;
    std::string line;
    long lineNumber = 0;
    bool header = false;
    std::streambuf *buffer = in.rdbuf();
    for (;;) {
        line.clear();
        int c = 0;
        while ((c = buffer->sbumpc()) != std::char_traits<char>::eof() && c != '\n') {
            if (line.size() == longestCsvLine)
                return failed("line " + std::to_string(lineNumber + 1) + ": longer than "
                    + std::to_string(longestCsvLine) + " characters");
            line += static_cast<char>(c);
        }
        if (c == std::char_traits<char>::eof() && line.empty())
            break;
        ++lineNumber;
        std::string_view text = trimmed(line, blanks);
        if (lineNumber == 1 && text.starts_with("\xEF\xBB\xBF"))
            text.remove_prefix(3);
        if (text.empty())
            continue;
        const std::size_t comma = text.find_first_of(",;\t");
        if (!header) {
            if (comma == std::string_view::npos
                || trimmed(text.substr(0, comma), blanks) != "sample"
                || trimmed(text.substr(comma + 1), blanks).substr(0, 4) != "code")
                return failed("line " + std::to_string(lineNumber)
                    + ": expected the header \"sample,code\", found " + quotedText(text));
            header = true;
            continue;
        }
        std::uint64_t index = 0, code = 0;
        if (comma == std::string_view::npos || !readWhole(text.substr(0, comma), index)
            || index != reading.codes.size())
            return failed("line " + std::to_string(lineNumber) + ": expected sample "
                + std::to_string(reading.codes.size()) + ", found " + quotedText(text));
        std::string_view codeText = text.substr(comma + 1);
        codeText = codeText.substr(0, codeText.find_first_of(",;\t"));
        if (!readWhole(codeText, code) || code >> bits)
            return failed("line " + std::to_string(lineNumber) + ": " + quotedText(codeText)
                + " is not a " + std::to_string(bits) + "-bit code");
        if (reading.codes.size() == maxSampleRecordLength)
            return failed("more than " + std::to_string(maxSampleRecordLength) + " samples");
        reading.codes.push_back(static_cast<std::uint16_t>(code));
    }
    if (!header)
        return failed("expected the header \"sample,code\", found the end of the file");
    return reading;
}

} // namespace

std::string sampleRecordNpy(std::span<const std::uint16_t> codes)
{
    std::string header = "{'descr': '<u2', 'fortran_order': False, 'shape': ("
        + std::to_string(codes.size()) + ",), }";
    // Magic, version, length and header together fill a multiple of 64
    // bytes, ending in a line feed.
    const std::size_t fixed = npyMagic.size() + 4;
    header.append((64 - (fixed + header.size() + 1) % 64) % 64, ' ');
    header += '\n';
    std::string bytes(npyMagic);
    bytes += '\x01';
    bytes += '\x00';
    bytes += static_cast<char>(header.size() & 0xFF);
    bytes += static_cast<char>(header.size() >> 8);
    bytes += header;
    bytes.reserve(bytes.size() + codes.size() * 2);
    for (const std::uint16_t code : codes) {
        bytes += static_cast<char>(code & 0xFF);
        bytes += static_cast<char>(code >> 8);
    }
    return bytes;
}

std::string sampleRecordCsv(std::span<const std::uint16_t> codes)
{
    std::string text = "sample,code\n";
    text.reserve(text.size() + codes.size() * 14);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        text += std::to_string(i);
        text += ',';
        text += std::to_string(codes[i]);
        text += '\n';
    }
    return text;
}

bool looksLikeSampleRecord(std::istream &in)
{
    const std::streampos start = in.tellg();
    char head[64] = {};
    in.read(head, sizeof head);
    const std::string_view text(head, std::size_t(in.gcount()));
    in.clear();
    in.seekg(start);
    if (text.starts_with(npyMagic))
        return true;
    std::string_view first = text.substr(text.starts_with("\xEF\xBB\xBF") ? 3 : 0);
    while (
        !first.empty() && (first.front() == '\n' || first.front() == '\r' || first.front() == ' '))
        first.remove_prefix(1);
    return first.starts_with("sample") || first.starts_with("\"sample\"");
}

SampleRecordReading readSampleRecord(std::istream &in, int bits)
{
    const int peeked = in.peek();
    if (peeked == static_cast<unsigned char>(npyMagic.front()))
        return readNpyRecord(in, bits);
    return readCsv(in, bits);
}
