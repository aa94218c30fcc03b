#include "Expectation.h"

#include <charconv>

namespace {

// Splits off the next whitespace-separated word of text.
std::string_view nextWord(std::string_view &text)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::size_t start = 0;
    while (start < text.size() && isSpace(text[start]))
        ++start;
    std::size_t end = start;
    while (end < text.size() && !isSpace(text[end]))
        ++end;
    const std::string_view word = text.substr(start, end - start);
    text.remove_prefix(end);
    return word;
}

std::optional<std::uint64_t> toNumber(std::string_view word)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || error != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string Expectation::toText() const
{
    std::string text = "frames_opened " + std::to_string(framesOpened) + "\nframes_completed "
        + std::to_string(framesCompleted) + "\n";
    for (int code = 0; code < codeCount; ++code) {
        if (histogram[code] != 0)
            text += std::to_string(code) + " " + std::to_string(histogram[code]) + "\n";
    }
    return text;
}

std::optional<Expectation> Expectation::fromText(std::string_view text)
{
    Expectation expectation;
    if (nextWord(text) != "frames_opened")
        return std::nullopt;
    const auto opened = toNumber(nextWord(text));
    if (nextWord(text) != "frames_completed")
        return std::nullopt;
    const auto completed = toNumber(nextWord(text));
    if (!opened || !completed)
        return std::nullopt;
    expectation.framesOpened = *opened;
    expectation.framesCompleted = *completed;

    for (std::string_view word = nextWord(text); !word.empty(); word = nextWord(text)) {
        const auto code = toNumber(word);
        const auto count = toNumber(nextWord(text));
        if (!code || !count || *code >= codeCount)
            return std::nullopt;
        expectation.histogram[*code] += *count;
    }
    return expectation;
}
