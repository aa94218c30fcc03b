#pragma once

#include "CodeDensityResult.h"
#include "LimitSet.h"
#include "StationResult.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A station's limits kept in a file under a name and a revision, so that a
// report says exactly which limits a board was held to:
//
//   name = "ADC12 final test"
//   revision = "C"
//   kind = "ramp"          # optional: dc, ramp or sine
//
//   [limits]
//   max_dnl = 0.5
//   max_inl = 1.0
//   max_missing = 0
//   guard_band = true
//
// The keys of [limits] are the limit catalog's.
struct LimitsFile
{
    std::string path; // absolute
    std::string sha256; // of the bytes read, hex
    std::string name;
    std::string revision;
    std::optional<TestKind> kind;
    LimitSet limits;
    std::vector<std::string> keys; // the limit keys the file sets, in file order
};

// Reads and checks a limits file: TOML, every key known, every value in its
// range, every limit one the file's test kind can measure. The reason is
// "FILE:LINE: reason" (or "FILE: reason" for the file as a whole).
StationResult<LimitsFile> readLimitsFile(const std::string &path);
StationResult<LimitsFile> parseLimitsFile(const std::string &path, std::string_view contents);

// A limit of the file that the command line replaced.
struct LimitOverride
{
    std::string key; // "max_dnl", or "guard_band"
    double fileValue = 0;
    double usedValue = 0;
};
