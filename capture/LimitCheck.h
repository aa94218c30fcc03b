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
    // The figure's 99 % uncertainty from the counts, where it has one.
    std::optional<double> uncertainty;
    bool pass = false; // a figure that was not measured does not pass
    // The limit lies within the figure's uncertainty: a repeat of the test
    // may give the other verdict.
    bool withinUncertainty = false;
    bool guardBanded = false; // passing asked for the value plus its uncertainty
    std::string note; // why there is no value
    std::string source; // "command line", "file", or empty
};

// The limits given, in a fixed order, each with its verdict.
std::vector<LimitOutcome> checkLimits(const CaptureLimits &limits, const CodeDensityResult &result);
