#pragma once

#include "RandomSource.h"

#include <cstdint>
#include <string>

// Turns codes into the bytes the converter sends: normally a frame STX, three
// upper-case hex digits, CR. On request it adds junk between frames, mixes in
// malformed frames, or adds the hostile mix that soak tests use. It knows
// nothing of how a receiver reads the bytes; ReceiverModel works that out.
class StreamGenerator
{
public:
    struct Settings
    {
        // Up to this many junk bytes before each frame (never STX unless hostile).
        int maxNoiseBytes = 0;
        // Chance, per frame, that the frame is malformed.
        double malformedProbability = 0.0;
        // Adds NUL bytes, bytes from 0x80 up, bursts of STX and long runs
        // without CR, and lets junk contain any byte.
        bool hostile = false;
    };

    enum class FrameKind {
        WellFormed,
        Truncated, // one or two digits, then CR
        Empty, // STX CR
        OverLong, // three digits, extra bytes, CR
        NonHexStart, // a non-hex character where the first digit belongs
        StxInside, // an STX among the digits
        Blank, // a blank, tab or line feed among the digits
        LowerCase, // lower-case hex digits
    };
    static constexpr int frameKindCount = 8;

    StreamGenerator(const Settings &settings, std::uint64_t seed);

    // The bytes that carry the next reading: any junk or hostile bytes, then
    // the frame for code.
    std::string nextFrame(int code);
    // The kind of frame the last nextFrame() call made.
    FrameKind lastKind() const { return m_lastKind; }

    static std::string frame(FrameKind kind, int code, RandomSource &random, bool hostile);

private:
    void appendNoise(std::string &bytes);
    void appendHostileBytes(std::string &bytes);

    Settings m_settings;
    RandomSource m_random;
    FrameKind m_lastKind = FrameKind::WellFormed;
};
