#pragma once

#include <cstddef>

// How much of the per-test detail a report from the database keeps, so that
// its memory stays the same however many records the database holds. Each
// bound holds per lot; what was left out is said in the report.
struct ReportBounds
{
    std::size_t points = 200; // the last tests of each run chart (figure and station)
    std::size_t results = 20; // the last results of each board's history
    std::size_t boards = 1000; // the first boards of each list of a lot
};
