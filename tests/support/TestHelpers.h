#pragma once

#include "MeasurementState.h"

#include <functional>
#include <string>
#include <string_view>

// Small helpers the tests, benchmarks and fuzz targets share. Window-free, so
// the fuzz build (no Qt) links them too.

// A frame as the converter sends it: STX, the body, CR.
std::string frame(std::string_view body);

// `text`, `count` times over.
std::string repeated(std::string_view text, int count);

// Frames counted in the histogram's bins `first` to `last`, both included; by
// default every code a reading can have.
long long histogramSum(
    const MeasurementState &state, int first = lowestCode, int last = highestCode);

// What `attempt` returns when run by a child process that has become the
// user `uid` (group `uid`, without supplementary groups). Root may open any
// device or file, so tests of refused access run the opening there.
std::string asUser(unsigned uid, const std::function<std::string()> &attempt);
// As the unprivileged user nobody.
std::string asNobody(const std::function<std::string()> &attempt);
