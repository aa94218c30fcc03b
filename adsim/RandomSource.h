#pragma once

#include <cstdint>
#include <random>

// Pseudo-random numbers that are the same for a given seed with every
// compiler and standard library. The C++ standard fixes every output of
// std::mt19937_64 but leaves the algorithms of its distributions (such as
// std::normal_distribution) to each library, so the few shapes the simulator
// needs are derived here by hand.
class RandomSource
{
public:
    explicit RandomSource(std::uint64_t seed);

    std::uint64_t next() { return m_engine(); }
    // A whole number in [0, bound); bound must be at least 1.
    std::uint64_t below(std::uint64_t bound);
    // A whole number in [low, high].
    std::uint64_t between(std::uint64_t low, std::uint64_t high);
    // A real number in [0, 1).
    double unit();
    // True with the given probability.
    bool chance(double probability);
    // A standard normal deviate (mean 0, deviation 1) by the Box-Muller method.
    double gaussian();

private:
    std::mt19937_64 m_engine;
    double m_spareGaussian = 0.0;
    bool m_hasSpareGaussian = false;
};
