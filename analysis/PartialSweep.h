#pragma once

#include "CodeDensityResult.h"

#include <cstdint>
#include <span>
#include <string>

// Why a ramp histogram's INL is not measured: its analysed codes fall into
// two flat plateaus whose levels differ by far more than counting noise
// allows, as a capture that starts or stops part-way through a sweep leaves
// (the codes swept once more, a run of codes, form the upper plateau). Such
// a step integrates to an INL of many LSB that the converter does not have.
// Empty when the hits show no such step; a bow or a scatter of the code
// widths is not one. Reads the analysed codes and the INL uncertainty of
// `figures`.
std::string partialSweepOf(std::span<const std::uint64_t> counts, const LinearityFigures &figures);
