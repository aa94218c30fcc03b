#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// A harmonic whose bins meet those of another component, and whether its
// power then went to DC or the fundamental: SINAD would count it as no
// distortion at all.
struct HiddenHarmonic
{
    std::string why; // empty when the harmonic stands clear
    bool takenAsSignal = false;
};

// Where a harmonic's bins meet those of another component, whose power it
// cannot be told apart from: two main lobes overlap within twice the
// half-width, and a lobe meets its own mirror image within the half-width
// of fs/2.
HiddenHarmonic hiddenHarmonic(int order, std::size_t centre, std::size_t fundamental,
    std::size_t half, int halfWidth, const std::vector<std::pair<int, std::size_t>> &lower);
