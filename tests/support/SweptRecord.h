#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

// What an ideal 12-bit converter reads of a ramp rising or falling over the
// codes, or of a triangle (each rise and each fall a sweep), `perCode`
// readings a code, starting `phase` of a sweep in, with Gaussian input
// noise; every `glitchEvery` readings one is garbled to 4095 - code.
struct Sweeps
{
    enum Shape { Rising, Falling, Triangle };
    double count = 1;
    Shape shape = Rising;
    double phase = 0;
    int perCode = 1;
    double noise = 0; // LSB
    std::size_t glitchEvery = 0;
};

inline std::vector<std::uint16_t> sweptRecord(const Sweeps &s)
{
    std::mt19937_64 random(7);
    std::normal_distribution<double> noise(0, s.noise);
    std::vector<std::uint16_t> record(std::size_t(std::llround(s.count * 4096 * s.perCode)));
    for (std::size_t n = 0; n < record.size(); ++n) {
        const double at = double(n) / (4096.0 * s.perCode) + s.phase;
        const double within = at - std::floor(at);
        const bool rising = s.shape == Sweeps::Rising
            || (s.shape == Sweeps::Triangle && int(std::floor(at)) % 2 == 0);
        const double code
            = 4096 * (rising ? within : 1 - within) + (s.noise > 0 ? noise(random) : 0);
        record[n] = std::uint16_t(std::clamp(std::round(code), 0.0, 4095.0));
        if (s.glitchEvery > 0 && n % s.glitchEvery == s.glitchEvery / 2)
            record[n] = std::uint16_t(4095 - record[n]);
    }
    return record;
}

inline std::vector<std::uint64_t> countsOf(const std::vector<std::uint16_t> &record)
{
    std::vector<std::uint64_t> counts(4096);
    for (const std::uint16_t code : record)
        ++counts[code];
    return counts;
}
