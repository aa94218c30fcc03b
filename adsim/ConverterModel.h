#pragma once

#include "RandomSource.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The static faults of a real converter: uneven code widths (DNL), missing
// codes, offset and gain error, and noise at its input. It turns an input
// level in LSB into a code through its table of transition levels. The
// profile depends only on the settings and its own seed, so the same
// converter can be measured with any signal seed.
class ConverterModel
{
public:
    static constexpr int codeCount = 4096;

    struct Settings
    {
        double dnlSigma = 0; // random DNL per code, in LSB
        std::vector<std::pair<int, double>> codeDnl {}; // codes made wide (> 0) or narrow (< 0)
        std::vector<int> missingCodes {};
        double offset = 0; // LSB added to the input
        double gain = 1; // input multiplier
        double inputNoise = 0; // LSB rms
        std::uint64_t profileSeed = 1;

        // Whether any fault is set; an ideal converter without noise rounds
        // the input to the nearest code.
        bool faulty() const;
    };

    explicit ConverterModel(const Settings &settings);

    // The code for an input level in LSB (code k is centred on level k); the
    // noise comes from the caller's random source.
    int convert(double level, RandomSource &random) const;

    // Transition level into code k for k = 1..4095 (index k - 1), in LSB.
    const std::vector<double> &transitions() const { return m_transitions; }
    // The DNL the profile applies to code k for k = 1..4094, relative to the
    // mean width of those codes; code 0 and 4095 are open-ended.
    double appliedDnl(int code) const;

    // "code transition_lsb dnl_lsb" per line, for k = 1..4095 (no DNL for
    // 4095), after a header line: what a test compares an analysis with.
    std::string toText() const;

private:
    Settings m_settings;
    std::vector<double> m_transitions;
};
