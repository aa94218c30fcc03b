#pragma once

#include "FigureCatalog.h"
#include "LimitSet.h"

#include <optional>
#include <string>
#include <vector>

// One limit held against the figure it names, with its verdict.
struct LimitOutcome
{
    const LimitDefinition *definition = nullptr;
    std::string name; // the limit's key: "max_dnl", "min_enob", ...
    double limit = 0;
    std::optional<double> value; // empty when the inputs do not give the figure
    // The figure's 99 % uncertainty from the counts, where it has one.
    std::optional<double> uncertainty;
    bool pass = false; // a figure that was not measured does not pass
    // The limit lies within the figure's uncertainty: a repeat of the test
    // may give the other verdict.
    bool withinUncertainty = false;
    bool guardBanded = false; // passing asked for the value plus its uncertainty
    std::string note; // why there is no value
    std::string source; // "command line", "file", or empty

    // The limit, the value and the uncertainty with the figure's decimals.
    std::string text(double number) const;
};

// The limits set, in catalog order, each with its verdict. A figure the
// inputs do not give fails, its note saying why.
std::vector<LimitOutcome> checkLimits(const LimitSet &limits, const FigureInputs &inputs);
