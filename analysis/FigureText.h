#pragma once

#include "CodeDensityResult.h"
#include "DynamicResult.h"

#include <cstddef>
#include <string>
#include <vector>

// The analysis figures as a person reads them, one name and value a row, for
// the analysis window's table and adcapture's summary alike. Text is UTF-8.
struct FigureRow
{
    std::string name;
    std::string value;
    bool warning = false; // the histogram does not fit the kind: worth a glance first
};

// The rows for a result: the kind and the sample statistics, then the
// figures of the kind, or why the kind does not fit.
std::vector<FigureRow> figureRows(const CodeDensityResult &result);

// The rows for the dynamic figures of a sine record: the record and window,
// the fundamental, SNR, SINAD, THD, SFDR, the noise floor, both ENOBs and the
// coherent input to use instead; or one row saying why there are none.
std::vector<FigureRow> dynamicFigureRows(const DynamicResult &result);

// A number with a fixed count of decimals, "0.125". A value that rounds to
// zero has no sign, so that -0.0001 does not read as a negative figure.
std::string fixedNumber(double value, int decimals = 3);

// "1st", "2nd", "3rd", "11th": a harmonic's order as a person reads it.
std::string ordinal(int order);

// How many missing codes the figures list; the CSV and the JSON report hold
// them all.
inline constexpr std::size_t listedMissingCodes = 40;

// The count, then the first codes: "3: 700, 1234, 3000", or "0" for none.
// Past listedMissingCodes the list ends in "... (N more)".
std::string missingCodesText(const std::vector<int> &codes);
