#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the receiving tool should have counted after reading a stream: the
// frames it opened (at each STX), the frames it completed (at each CR) and how
// many completed frames carried each code.
struct Expectation
{
    static constexpr int codeCount = 4096;

    std::uint64_t framesOpened = 0;
    std::uint64_t framesCompleted = 0;
    std::array<std::uint64_t, codeCount> histogram {};

    // The text of a summary file:
    //   frames_opened N
    //   frames_completed N
    // then one "code count" line for each code that occurred, in code order.
    std::string toText() const;
    // Reads that text back; nullopt when it is not such a text.
    static std::optional<Expectation> fromText(std::string_view text);

    bool operator==(const Expectation &) const = default;
};
