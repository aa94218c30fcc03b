#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// A figure's histogram: bins on a round grid and the boards in each, by
// their verdict on the figure's limits.
struct HistogramBins
{
    double offset = 0; // -0.5 for a count, whose bins are centred on whole numbers
    double width = 1;
    double first = 0; // the first bin's number: floor((minimum - offset) / width)
    bool count = false;
    std::vector<std::size_t> failed, passed, unheld;

    double origin() const { return offset + first * width; } // the first bin's lower edge
    std::size_t size() const { return failed.size(); }
    // The bin number of `value` counted from the first, floor((value -
    // offset) / width) - first, before it is kept within the bins.
    double place(double value) const;
    // Counts `boards` boards at `place` (below the first bin: the first,
    // beyond the last: the last), by their verdict; empty: held to no limit.
    void add(double place, std::optional<bool> verdict, std::size_t boards = 1);
};

// About √n bins over the values (5 to 30), none counted yet; a count's bins
// are whole numbers, centred on them.
HistogramBins histogramLayout(
    const std::string &figure, std::size_t count, double minimum, double maximum);
