#include "HistogramCsv.h"

#include "QuotedText.h"
#include "TrimmedText.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace {

void appendNumber(std::string &text, double value)
{
    char buffer[32];
    // Fixed notation and no locale, so that the decimal point is always '.'.
    const auto written
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    text.append(buffer, written.ptr);
}

// A cell without its spacing and quotes.
std::string_view trimmed(std::string_view cell)
{
    cell = ::trimmed(cell, " \t\r");
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"')
        cell = cell.substr(1, cell.size() - 2);
    return cell;
}

std::vector<std::string_view> cellsOf(std::string_view line, char separator)
{
    std::vector<std::string_view> cells;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = line.find(separator, start);
        cells.push_back(trimmed(line.substr(start, end - start)));
        if (end == std::string_view::npos)
            return cells;
        start = end + 1;
    }
}

bool sameWord(std::string_view cell, std::string_view word)
{
    return std::ranges::equal(
        cell, word, [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

bool readWhole(std::string_view cell, std::uint64_t &value)
{
    if (cell.empty() || cell.front() == '+' || cell.front() == '-')
        return false;
    const auto [end, status] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    return status == std::errc() && end == cell.data() + cell.size();
}

enum class LineRead { Line, End, TooLong, TooMuch };

// One line without its LF, at most maxHistogramCsvLine characters; `budget`
// is what may still be read of the whole input.
LineRead readLine(std::istream &in, std::string &line, std::size_t &budget)
{
    line.clear();
    std::streambuf *buffer = in.rdbuf();
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof())
            return line.empty() ? LineRead::End : LineRead::Line;
        if (budget == 0)
            return LineRead::TooMuch;
        --budget;
        if (c == '\n')
            return LineRead::Line;
        if (line.size() == maxHistogramCsvLine)
            return LineRead::TooLong;
        line += static_cast<char>(c);
    }
}

} // namespace

std::string histogramCsv(std::span<const std::uint64_t> counts, const CodeDensityResult *analysis)
{
    const LinearityFigures *linearity
        = analysis && analysis->hasLinearity() ? &analysis->linearity : nullptr;
    std::string text = linearity ? "code,count,dnl_lsb,inl_lsb,inl_best_fit_lsb\n" : "code,count\n";
    text.reserve(counts.size() * (linearity ? 48 : 12));
    for (std::size_t code = 0; code < counts.size(); ++code) {
        text += std::to_string(code);
        text += ',';
        text += std::to_string(counts[code]);
        if (linearity) {
            text += ',';
            const int c = static_cast<int>(code);
            if (linearity->analyses(c) && code < linearity->dnl.size()) {
                appendNumber(text, linearity->dnl[code]);
                text += ',';
                appendNumber(text, linearity->inlEndPoint[code]);
                text += ',';
                appendNumber(text, linearity->inlBestFit[code]);
            } else {
                text += ",,";
            }
        }
        text += '\n';
    }
    return text;
}

HistogramCsvReading readHistogramCsv(std::istream &in)
{
    HistogramCsvReading reading;
    auto fail = [&reading](long line, const std::string &message) {
        reading.counts.clear();
        reading.error = "line " + std::to_string(line) + ": " + message;
        return reading;
    };

    std::string line;
    long lineNumber = 0;
    char separator = 0;
    std::size_t budget = maxHistogramCsvBytes;
    for (;;) {
        const LineRead read = readLine(in, line, budget);
        if (read == LineRead::End)
            break;
        ++lineNumber;
        if (read == LineRead::TooLong)
            return fail(lineNumber,
                "longer than " + std::to_string(maxHistogramCsvLine)
                    + " characters: not a histogram table");
        if (read == LineRead::TooMuch)
            return fail(lineNumber,
                "the file goes on past " + std::to_string(maxHistogramCsvBytes / (1024 * 1024))
                    + " MiB: not a histogram table");
        std::string_view text = line;
        if (lineNumber == 1 && text.starts_with("\xEF\xBB\xBF"))
            text.remove_prefix(3);
        if (trimmed(text).empty())
            continue;
        if (separator == 0) {
            const std::size_t at = text.find_first_of(",;\t");
            separator = at == std::string_view::npos ? ',' : text[at];
            const auto header = cellsOf(text, separator);
            if (header.size() < 2 || !sameWord(header[0], "code") || !sameWord(header[1], "count"))
                return fail(
                    lineNumber, "expected the header \"code,count\", found " + quotedText(text));
            reading.headerFound = true;
            continue;
        }
        const auto cells = cellsOf(text, separator);
        const std::size_t expected = reading.counts.size();
        if (expected >= static_cast<std::size_t>(maxHistogramCsvCodes))
            return fail(lineNumber, "more than " + std::to_string(maxHistogramCsvCodes) + " codes");
        std::uint64_t code = 0;
        if (!readWhole(cells[0], code))
            return fail(lineNumber, "the code " + quotedText(cells[0]) + " is not a whole number");
        if (code != expected)
            return fail(lineNumber,
                "expected code " + std::to_string(expected) + ", found " + quotedText(cells[0]));
        if (cells.size() < 2)
            return fail(lineNumber, "the count is missing");
        std::uint64_t count = 0;
        if (!readWhole(cells[1], count))
            return fail(lineNumber,
                "the count " + quotedText(cells[1])
                    + " is not a whole number from 0 to 18446744073709551615");
        reading.counts.push_back(count);
    }
    if (in.bad())
        return fail(lineNumber, "the file could not be read to the end");
    if (separator == 0)
        return fail(
            lineNumber + 1, "expected the header \"code,count\", found the end of the file");
    if (reading.counts.empty())
        return fail(lineNumber + 1, "expected a row for code 0, found the end of the file");
    return reading;
}
