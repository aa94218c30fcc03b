#include "NpyRecord.h"

#include "QuotedText.h"
#include "TrimmedText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <istream>
#include <optional>
#include <span>
#include <vector>

namespace {

constexpr std::size_t longestHeader = 65536;
// Samples converted per read, so that a header promising more than the file
// holds costs no more memory than the file.
constexpr std::size_t samplesPerRead = 16384;

SampleRecordReading failed(std::string message)
{
    SampleRecordReading reading;
    reading.error = ".npy: " + std::move(message);
    return reading;
}

// The element type of the array, as its descr names it ("<i2", "|u1").
struct IntegerDtype
{
    bool bigEndian = false;
    bool isSigned = false;
    int size = 0; // bytes
};

std::optional<IntegerDtype> integerDtypeOf(std::string_view descr)
{
    if (descr.size() != 3 || (descr[1] != 'u' && descr[1] != 'i'))
        return std::nullopt;
    IntegerDtype dtype;
    dtype.isSigned = descr[1] == 'i';
    dtype.size = descr[2] - '0';
    dtype.bigEndian = descr[0] == '>';
    // A single byte has no byte order; numpy writes '|' for it.
    if (dtype.size == 1)
        return descr[0] == '|' || descr[0] == '<' || descr[0] == '>' ? std::optional(dtype)
                                                                     : std::nullopt;
    if ((dtype.size != 2 && dtype.size != 4 && dtype.size != 8)
        || (descr[0] != '<' && descr[0] != '>'))
        return std::nullopt;
    return dtype;
}

// The text of one value in the header's dictionary: a quoted string without
// its quotes, a tuple with its parentheses, or a word such as False.
std::optional<std::string_view> valueOf(std::string_view header, std::string_view key)
{
    std::size_t at = std::string_view::npos;
    for (const char quote : {'\'', '"'}) {
        const std::string quotedKey = quote + std::string(key) + quote;
        if (const std::size_t found = header.find(quotedKey); found != std::string_view::npos) {
            at = found + quotedKey.size();
            break;
        }
    }
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = trimmed(header.substr(at), " ");
    if (!rest.starts_with(':'))
        return std::nullopt;
    rest = trimmed(rest.substr(1), " ");
    if (rest.empty())
        return std::nullopt;
    if (rest.front() == '\'' || rest.front() == '"') {
        const std::size_t end = rest.find(rest.front(), 1);
        return end == std::string_view::npos ? std::nullopt
                                             : std::optional(rest.substr(1, end - 1));
    }
    const char closing = rest.front() == '(' ? ')' : rest.front() == '[' ? ']' : 0;
    const std::size_t end = closing ? rest.find(closing) : rest.find_first_of(",}");
    if (end == std::string_view::npos)
        return std::nullopt;
    return trimmed(rest.substr(0, closing ? end + 1 : end), " ");
}

// The number of samples of a shape "(N,)" or "(N, 1)".
std::optional<std::uint64_t> lengthOf(std::string_view shape)
{
    if (shape.size() < 2 || shape.front() != '(' || shape.back() != ')')
        return std::nullopt;
    shape = shape.substr(1, shape.size() - 2);
    std::vector<std::uint64_t> sizes;
    while (!trimmed(shape, " ").empty()) {
        const std::size_t comma = shape.find(',');
        const std::string_view part = trimmed(shape.substr(0, comma), " ");
        std::uint64_t size = 0;
        const auto [end, status] = std::from_chars(part.data(), part.data() + part.size(), size);
        if (part.empty() || status != std::errc() || end != part.data() + part.size())
            return std::nullopt;
        sizes.push_back(size);
        shape = comma == std::string_view::npos ? std::string_view() : shape.substr(comma + 1);
    }
    if (sizes.size() == 1 || (sizes.size() == 2 && sizes[1] == 1))
        return sizes[0];
    return std::nullopt;
}

// The bytes from the stream's place to its end, where it can tell; the
// place is kept.
std::optional<std::uint64_t> bytesLeft(std::istream &in)
{
    const std::istream::pos_type here = in.tellg();
    if (here == std::istream::pos_type(-1))
        return std::nullopt;
    in.seekg(0, std::ios_base::end);
    const std::istream::pos_type end = in.tellg();
    in.clear();
    in.seekg(here);
    const bool back = bool(in);
    in.clear();
    if (!back || end == std::istream::pos_type(-1) || end < here)
        return std::nullopt;
    return std::uint64_t(end - here);
}

std::uint64_t bitsAt(const unsigned char *bytes, const IntegerDtype &dtype)
{
    std::uint64_t value = 0;
    for (int k = 0; k < dtype.size; ++k)
        value |= std::uint64_t(bytes[dtype.bigEndian ? dtype.size - 1 - k : k]) << (8 * k);
    return value;
}

// The value of a signed element, its sign bit extended.
std::int64_t signedOf(std::uint64_t bits, int size)
{
    const int unused = 64 - 8 * size;
    return static_cast<std::int64_t>(bits << unused) >> unused;
}

} // namespace

SampleRecordReading readNpyRecord(std::istream &in, int bits)
{
    std::array<char, 10> head {};
    if (!in.read(head.data(), head.size()) || std::string_view(head.data(), 6) != npyMagic)
        return failed("the header is cut short");
    const int major = static_cast<unsigned char>(head[6]);
    std::size_t headerLength = static_cast<unsigned char>(head[8])
        | std::size_t(static_cast<unsigned char>(head[9])) << 8;
    if (major >= 2) {
        char more[2];
        if (!in.read(more, 2))
            return failed("the header is cut short");
        headerLength |= std::size_t(static_cast<unsigned char>(more[0])) << 16
            | std::size_t(static_cast<unsigned char>(more[1])) << 24;
    }
    if (headerLength > longestHeader)
        return failed("a header of " + std::to_string(headerLength) + " bytes");
    std::string header(headerLength, '\0');
    if (!in.read(header.data(), std::streamsize(headerLength)))
        return failed("the header is cut short");

    const auto descr = valueOf(header, "descr");
    const auto order = valueOf(header, "fortran_order");
    const auto shape = valueOf(header, "shape");
    if (!descr || !order || !shape)
        return failed("the header is not a NumPy array's: " + quotedText(header));
    const auto dtype = integerDtypeOf(*descr);
    if (!dtype)
        return failed("the dtype " + quotedText(*descr)
            + " is not one a converter's codes come in (an integer type such as '<u2' or '<i2')");
    if (*order != "False")
        return failed("the array is in Fortran order; save it in C order");
    const auto length = lengthOf(*shape);
    if (!length)
        return failed("an array of shape " + quotedText(*shape)
            + ", not a record (one dimension, or one column)");
    if (*length > maxSampleRecordLength)
        return failed(std::to_string(*length) + " samples, more than "
            + std::to_string(maxSampleRecordLength));

    // Signed values are two's complement: shifted by half the range.
    const std::int64_t lowest = dtype->isSigned ? -(std::int64_t(1) << (bits - 1)) : 0;
    const std::int64_t highest = lowest + (std::int64_t(1) << bits) - 1;
    const auto outside = [&](std::size_t sample, const std::string &code) {
        return failed("sample " + std::to_string(sample) + ": code " + code + " is outside a "
            + std::to_string(bits) + "-bit converter's " + std::to_string(lowest) + ".."
            + std::to_string(highest)
            + (dtype->isSigned ? " (a signed array holds two's-complement codes)" : ""));
    };
    // Unsigned 16-bit values in the machine's byte order, as numpy saves codes
    // on it, are read straight into the record.
    const bool direct = dtype->size == 2 && !dtype->isSigned
        && dtype->bigEndian == (std::endian::native == std::endian::big);
    // Room for the samples the file holds, at most those promised: so that
    // the record is neither moved as it grows nor, when the header promises
    // more than the file holds, larger than the file. The samples the file
    // is seen to hold are read at once.
    const std::optional<std::uint64_t> left = bytesLeft(in);
    const std::size_t held = left
        ? std::size_t(std::min<std::uint64_t>(*length, *left / std::uint64_t(dtype->size)))
        : 0;
    SampleRecordReading reading;
    reading.codes.reserve(std::max(held, std::min<std::size_t>(*length, samplesPerRead)));
    std::vector<unsigned char> bytes(direct ? 0 : samplesPerRead * std::size_t(dtype->size));
    for (std::size_t done = 0; done < *length;) {
        const std::size_t count = std::min<std::size_t>(*length - done,
            direct ? std::max(samplesPerRead, held - std::min(held, done)) : samplesPerRead);
        const std::size_t size = count * std::size_t(dtype->size);
        if (direct)
            reading.codes.resize(done + count);
        if (!in.read(direct ? reinterpret_cast<char *>(reading.codes.data() + done)
                            : reinterpret_cast<char *>(bytes.data()),
                std::streamsize(size)))
            return failed("the data is cut short (the header promises " + std::to_string(*length)
                + " samples)");
        if (direct) {
            const auto chunk = std::span(reading.codes).subspan(done, count);
            const auto wrong = std::ranges::find_if(
                chunk, [&](std::uint16_t code) { return code > std::uint64_t(highest); });
            if (wrong != chunk.end())
                return outside(done + std::size_t(wrong - chunk.begin()), std::to_string(*wrong));
            done += count;
            continue;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t raw = bitsAt(&bytes[i * std::size_t(dtype->size)], *dtype);
            const std::int64_t value = dtype->isSigned ? signedOf(raw, dtype->size) : 0;
            const bool inRange = dtype->isSigned ? value >= lowest && value <= highest
                                                 : raw <= std::uint64_t(highest);
            if (!inRange)
                return outside(
                    done + i, dtype->isSigned ? std::to_string(value) : std::to_string(raw));
            reading.codes.push_back(
                static_cast<std::uint16_t>(dtype->isSigned ? value - lowest : std::int64_t(raw)));
        }
        done += count;
    }
    return reading;
}
