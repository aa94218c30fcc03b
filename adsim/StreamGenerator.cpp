#include "StreamGenerator.h"

#include "ReceiverModel.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

constexpr char stx = ReceiverModel::stx;
constexpr char cr = ReceiverModel::cr;

// Chance per frame of a hostile disturbance before it.
constexpr double hostileDisturbanceProbability = 0.2;
// Longest run without CR the hostile mix sends.
constexpr int longestRunWithoutCr = 4096;

std::string hexDigits(int code)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    return {digits[(code >> 8) & 0xF], digits[(code >> 4) & 0xF], digits[code & 0xF]};
}

char pick(std::string_view choices, RandomSource &random)
{
    return choices[random.below(choices.size())];
}

// A byte other than CR; in the ordinary mix also printable.
char extraByte(RandomSource &random, bool hostile)
{
    if (!hostile)
        return static_cast<char>(random.between(0x20, 0x7E));
    char byte;
    do {
        byte = static_cast<char>(random.below(256));
    } while (byte == cr);
    return byte;
}

} // namespace

StreamGenerator::StreamGenerator(const Settings &settings, std::uint64_t seed)
    : m_settings(settings)
    // A different seed from the signal's so the two sequences are unrelated.
    , m_random(seed ^ 0x9E3779B97F4A7C15ULL)
{ }

std::string StreamGenerator::nextFrame(int code)
{
    std::string bytes;
    appendNoise(bytes);
    if (m_settings.hostile && m_random.chance(hostileDisturbanceProbability))
        appendHostileBytes(bytes);

    m_lastKind = FrameKind::WellFormed;
    if (m_settings.malformedProbability > 0 && m_random.chance(m_settings.malformedProbability))
        m_lastKind = static_cast<FrameKind>(1 + m_random.below(frameKindCount - 1));
    bytes += frame(m_lastKind, code, m_random, m_settings.hostile);
    return bytes;
}

std::string StreamGenerator::frame(FrameKind kind, int code, RandomSource &random, bool hostile)
{
    const std::string digits = hexDigits(code);
    std::string body;
    switch (kind) {
    case FrameKind::WellFormed:
        body = digits;
        break;
    case FrameKind::Truncated:
        body = digits.substr(0, random.between(1, 2));
        break;
    case FrameKind::Empty:
        break;
    case FrameKind::OverLong:
        body = digits;
        for (auto extra = random.between(1, 8); extra > 0; --extra)
            body += extraByte(random, hostile);
        break;
    case FrameKind::NonHexStart:
        body = pick("GHIJKLMNOPQRSTUVWXYZghijklmnopqrstuvwxyz#$%*+-./:;<=>?@", random)
            + digits.substr(1);
        break;
    case FrameKind::StxInside:
        body = digits;
        body.insert(random.below(3), 1, stx);
        break;
    case FrameKind::Blank:
        body = digits;
        body.insert(random.below(3), 1, pick(" \t\n", random));
        break;
    case FrameKind::LowerCase:
        body = digits;
        std::transform(body.begin(), body.end(), body.begin(),
            [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        break;
    }
    return stx + body + cr;
}

void StreamGenerator::appendNoise(std::string &bytes)
{
    if (m_settings.maxNoiseBytes <= 0)
        return;
    for (auto count = m_random.below(m_settings.maxNoiseBytes + 1ULL); count > 0; --count) {
        char byte;
        if (m_settings.hostile) {
            byte = static_cast<char>(m_random.below(256));
        } else {
            // 7-bit junk without NUL and without STX, so it never opens a frame.
            do {
                byte = static_cast<char>(m_random.between(0x01, 0x7F));
            } while (byte == stx);
        }
        bytes += byte;
    }
}

void StreamGenerator::appendHostileBytes(std::string &bytes)
{
    switch (m_random.below(4)) {
    case 0:
        bytes.append(m_random.between(1, 16), '\0');
        break;
    case 1:
        for (auto count = m_random.between(1, 16); count > 0; --count)
            bytes += static_cast<char>(m_random.between(0x80, 0xFF));
        break;
    case 2:
        bytes.append(m_random.between(2, 8), stx);
        break;
    case 3:
        // Opens a frame that swallows everything up to the next frame's CR,
        // or runs on in whatever frame is open.
        if (m_random.chance(0.5))
            bytes += stx;
        for (auto count = m_random.between(64, longestRunWithoutCr); count > 0; --count)
            bytes += extraByte(m_random, true);
        break;
    }
}
