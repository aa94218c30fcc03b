// The dynamic analysis against its budget: the whole analysis of a sine
// record (spectra, figures, sine fit) of 2^16 samples in < 20 ms and of 2^20
// in < 200 ms, for a coherent record (one transform) and one that is not
// (the rectangular and the seven-term transform). Prints figures.
#include "DynamicAnalysis.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

namespace {

std::vector<std::uint16_t> noisySine(std::size_t samples, double cycles)
{
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0, 0.7);
    std::vector<std::uint16_t> codes(samples);
    for (std::size_t n = 0; n < samples; ++n) {
        const double x = 2048
            + 2000 * std::sin(2 * std::numbers::pi * cycles * double(n) / double(samples))
            + noise(random);
        codes[n] = std::uint16_t(std::clamp(std::floor(x), 0.0, 4095.0));
    }
    return codes;
}

double medianMs(int rounds, const std::vector<std::uint16_t> &codes, DynamicResult &result)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        result = analyseDynamic(codes, {});
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main()
{
    std::printf("dynamic analysis, median of the rounds\n");
    std::printf("%-10s %-14s %-20s %10s %8s %10s\n", "samples", "record", "window", "ms", "budget",
        "SINAD dB");
    for (const int power : {16, 20}) {
        const std::size_t samples = std::size_t(1) << power;
        const double budget = power == 16 ? 20 : 200;
        for (const bool coherent : {true, false}) {
            const double cycles = coherent ? double(samples / 16 - 1) : samples / 16.0 - 0.63;
            const auto codes = noisySine(samples, cycles);
            DynamicResult result;
            const double ms = medianMs(power == 16 ? 21 : 7, codes, result);
            std::printf("2^%-8d %-14s %-20s %10.1f %8.0f %10.2f\n", power,
                coherent ? "coherent" : "not coherent", spectrumWindowKey(result.window), ms,
                budget, result.sinadDb.value_or(NAN));
        }
    }
    return 0;
}
