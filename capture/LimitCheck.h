#pragma once

#include "CaptureOptions.h"

#include <optional>
#include <string>
#include <vector>

struct CodeDensityResult;
struct DynamicResult;

// One limit held against the histogram's or the sample record's figures.
struct LimitOutcome
{
    // "max_dnl", "max_inl", "max_missing", "max_noise", "min_enob",
    // "min_sinad", "max_thd" or "min_sfdr"
    std::string name;
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

// As above, then the dynamic limits against the sample record's figures: a
// figure the record does not give fails, its note saying why.
std::vector<LimitOutcome> checkLimits(
    const CaptureLimits &limits, const CodeDensityResult &result, const DynamicResult &dynamic);
