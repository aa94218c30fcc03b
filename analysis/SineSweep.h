#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <span>

// Two doubles worked on at once, each as a double alone would be: the
// processor's two-lane instructions round each lane as the scalar ones do.
using DoublePair = double __attribute__((vector_size(16)));

// cos and sin are advanced by rotation within a block and computed afresh at
// each block's start, so that rounding cannot build up over 2^20 samples;
// the sums are kept per block too, for the same reason.
inline constexpr std::size_t sineSweepBlock = 1024;

// Walks a record against cos(2 pi f t) and sin(2 pi f t), t counted from the
// record's middle (which keeps a fit well conditioned), two blocks side by
// side as the lanes of a DoublePair: each step of the rotation waits for the
// one before, so that one block alone leaves the processor idle.
//
// visit(n, both, t, c, s, y) for each step: lane 0 holds sample n of the
// first block, lane 1 sample n + sineSweepBlock of the second when `both`,
// else nothing to keep. endBlocks(both) after each pair of blocks, or after
// a block alone at the end: a lane's sums are its block's own, the same as
// a block at a time gives, and are to be added in the lanes' order.
template<typename Visit, typename EndBlocks>
void sineSweep(std::span<const double> samples, double frequency, Visit visit, EndBlocks endBlocks)
{
    const double omega = 2 * std::numbers::pi * frequency;
    const double middle = (double(samples.size()) - 1) / 2;
    const double stepCos = std::cos(omega);
    const double stepSin = std::sin(omega);
    const std::size_t size = samples.size();
    const auto run = [&](std::size_t start, std::size_t count, bool both) {
        const std::size_t second = start + sineSweepBlock;
        DoublePair t = {double(start) - middle, both ? double(second) - middle : 0.0};
        DoublePair c = {std::cos(omega * t[0]), std::cos(omega * t[1])};
        DoublePair s = {std::sin(omega * t[0]), std::sin(omega * t[1])};
        for (std::size_t i = 0; i < count; ++i) {
            const DoublePair y = {samples[start + i], both ? samples[second + i] : 0.0};
            visit(start + i, both, t, c, s, y);
            const DoublePair next = c * stepCos - s * stepSin;
            s = s * stepCos + c * stepSin;
            c = next;
            t += 1;
        }
        endBlocks(both);
    };
    std::size_t start = 0;
    for (; start + 2 * sineSweepBlock <= size; start += 2 * sineSweepBlock)
        run(start, sineSweepBlock, true);
    for (; start < size; start += sineSweepBlock)
        run(start, std::min(sineSweepBlock, size - start), false);
}
