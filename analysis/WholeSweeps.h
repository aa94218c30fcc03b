#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The part of a ramp's record that holds whole sweeps only: from one turning
// point to a later one, each code swept as often as any other. A capture
// that starts or stops part-way through a sweep sweeps some codes once more;
// their histogram shows a step that integrates to an INL the converter does
// not have.
struct SweepCut
{
    std::size_t begin = 0; // the first sample of the first whole sweep
    std::size_t end = 0; // one past the last sample of the last whole sweep
    int sweeps = 0; // 0: the record holds no whole sweep

    std::size_t samples() const { return end - begin; }
};

// Cuts a record at its turning points: a sawtooth's wrap from one end to the
// other, or a triangle's peaks and troughs (each rise and each fall is a
// sweep). Told apart by how fast the record crosses its middle third each
// way. The record is divided into a low and a high third of its range;
// noise must cross the whole middle third to count as a crossing, so a few
// LSB of input noise leave one turning point a sweep.
SweepCut wholeSweepsOf(std::span<const std::uint16_t> record);
