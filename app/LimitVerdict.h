#pragma once

#include "LimitCheck.h"

#include <QString>

#include <vector>

// A limit's verdict as the analysis window shows it, beside the figure it
// holds, in the words adcapture's summary uses.
struct LimitVerdictRow
{
    QString figure; // "Worst |DNL|"
    QString value; // "0.123 ±0.050 LSB", or "not measured (why)"
    QString limit; // "≤ 0.500 LSB (max-dnl)"
    QString verdict; // "PASS", "FAIL", "PASS, within the uncertainty: a repeat may differ"
    bool pass = false;
    bool withinUncertainty = false;
};

LimitVerdictRow limitVerdictRow(const LimitOutcome &outcome);

// The one line over every limit: "PASS: all 3 limits hold", "FAIL: 2 of 3
// limits fail (max-dnl, min-enob)", with how many verdicts lie within the
// uncertainty; "INCOMPLETE" without data.
QString overallVerdict(const std::vector<LimitOutcome> &outcomes, bool hasData);
