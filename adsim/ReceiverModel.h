#pragma once

#include "Expectation.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The receiving tool's framing rules, applied to every byte sent, so that a
// test knows what the tool should have counted. It hunts for STX, which opens
// a frame; every byte after it, STX included, belongs to the frame up to and
// including the next CR, which completes it. Only the first three bytes of a
// frame carry its value.
class ReceiverModel
{
public:
    static constexpr char stx = 0x02;
    static constexpr char cr = 0x0D;

    void feed(std::string_view bytes);
    const Expectation &expectation() const { return m_expectation; }
    bool insideFrame() const { return m_insideFrame; }

    // Keeps the value of every completed frame from now on, in order, up to
    // `limit` of them: what the tool's sample record should hold.
    void keepCodes(std::size_t limit);
    const std::vector<std::uint16_t> &codes() const { return m_codes; }
    // Completed frames beyond the limit, not kept.
    std::uint64_t codesDropped() const { return m_codesDropped; }

    // The value of a completed frame from its bytes after the STX (the CR
    // included): blanks, tabs and line feeds among the first three bytes are
    // dropped, then the leading hex digits form the value; none gives 0.
    static int decodeFrame(std::string_view frame);

private:
    void addToFrame(char byte);

    Expectation m_expectation;
    bool m_insideFrame = false;
    // The value depends on the first three bytes only, so longer frames need
    // not be kept.
    char m_head[3] = {};
    std::size_t m_headLength = 0;
    bool m_keepCodes = false;
    std::size_t m_codeLimit = 0;
    std::vector<std::uint16_t> m_codes;
    std::uint64_t m_codesDropped = 0;
};
