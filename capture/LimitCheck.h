#pragma once

#include "CaptureOptions.h"

#include <optional>
#include <string>
#include <vector>

struct CodeDensityResult;

// One limit held against the histogram's figures.
struct LimitOutcome
{
    std::string name; // "max_dnl", "max_inl", "max_missing" or "max_noise"
    double limit = 0;
    std::optional<double> value; // empty when the histogram does not give it
    bool pass = false; // a figure that was not measured does not pass
    std::string note; // why there is no value
};

// The limits given, in a fixed order, each with its verdict.
std::vector<LimitOutcome> checkLimits(const CaptureLimits &limits, const CodeDensityResult &result);
