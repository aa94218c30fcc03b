#pragma once

#include "Expectation.h"

#include <cstddef>
#include <string_view>

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
};
