#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

// What an ideal 12-bit converter reads of a ramp: a sawtooth rising or
// falling over the codes, or a triangle (each rise and each fall a sweep),
// `perCode` samples a code and sweep, starting `phase` of a sweep in, with
// Gaussian input noise.
struct Sweeps
{
    enum Shape { Rising, Falling, Triangle };
    double count = 1; // sweeps, any fraction
    Shape shape = Rising;
    double phase = 0; // 0..1
    int perCode = 1;
    double noise = 0; // LSB
    std::size_t glitchEvery = 0; // every so many readings one is mirrored: 4095 - code
};

inline std::vector<std::uint16_t> sweptRecord(const Sweeps &sweeps)
{
    const double length = 4096.0 * sweeps.perCode; // samples a sweep
    std::mt19937_64 random(7);
    std::normal_distribution<double> noise(0, sweeps.noise);
    std::vector<std::uint16_t> record(std::size_t(std::llround(sweeps.count * length)));
    for (std::size_t n = 0; n < record.size(); ++n) {
        const double at = double(n) / length + sweeps.phase;
        const double within = at - std::floor(at);
        const bool rising = sweeps.shape == Sweeps::Rising
            || (sweeps.shape == Sweeps::Triangle && int(std::floor(at)) % 2 == 0);
        const double level = 4096 * (rising ? within : 1 - within);
        const double code = std::round(level + (sweeps.noise > 0 ? noise(random) : 0));
        record[n] = std::uint16_t(std::clamp(code, 0.0, 4095.0));
        if (sweeps.glitchEvery > 0 && n % sweeps.glitchEvery == sweeps.glitchEvery / 2)
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
