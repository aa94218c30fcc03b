#pragma once

#include "HistogramBins.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// One figure over the boards of a lot: its spread and its process capability
// against the limits the boards were held to.
struct FigureStatistics
{
    std::string name;
    std::vector<double> values; // one per board, in board order
    // Per value: its board's verdict on the limits of this figure; empty
    // when the board was not held to one.
    std::vector<std::optional<bool>> verdicts;
    std::size_t count = 0;
    double mean = 0;
    std::optional<double> sigma; // the sample standard deviation (n - 1); empty below two values
    double minimum = 0;
    double maximum = 0;
    std::optional<double> lowerLimit; // the figure must not fall below it
    std::optional<double> upperLimit; // the figure must not exceed it
    // (USL - mean) / 3σ or (mean - LSL) / 3σ for a one-sided limit, the
    // smaller of the two for a two-sided one. Empty without a limit, with
    // fewer than two values or with σ = 0, where it would be infinite or
    // carry no meaning, and for a count (missing codes), whose few whole
    // values are no normal spread.
    std::optional<double> cpk;
    // The histogram's counts where the database counted them; empty: the
    // chart bins `values` itself.
    std::optional<HistogramBins> bins;

    // The records held the figure to a limit: the report charts it.
    bool hasLimit() const { return lowerLimit || upperLimit; }
};

// The statistics of `values`, which must all be finite; an empty list gives
// a count of 0 and nothing else.
FigureStatistics describeFigure(std::string name, std::vector<double> values,
    std::optional<double> lowerLimit, std::optional<double> upperLimit);

// The moments of a list of finite values, as a database may sum them.
struct FigureMoments
{
    std::size_t count = 0;
    double mean = 0;
    double squares = 0; // the sum of the squared deviations from the mean
    double minimum = 0;
    double maximum = 0;
};

// The statistics of values known by their moments alone: `values` stays empty.
FigureStatistics describeMoments(std::string name, const FigureMoments &moments,
    std::optional<double> lowerLimit, std::optional<double> upperLimit);

// An individuals chart's lines: the centre at the mean, the control limits
// at the mean ± 2.66 times the average moving range (|x[i] - x[i-1]|).
struct ControlLimits
{
    double centre = 0;
    double lower = 0;
    double upper = 0;
};

// Empty below two values, which have no moving range.
std::optional<ControlLimits> individualsLimits(const std::vector<double> &values);
