#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

// The rate samples arrive at, from the running total of the histogram read
// at each refresh: the growth over the last `span` seconds, so that the
// figure stays steady where one refresh to the next varies with the timer's
// jitter. A total that shrinks (RESET, a new run) starts afresh; one that
// stands still (the capture stopped) keeps the rate it had.
class ArrivalRate
{
public:
    static constexpr double span = 30; // seconds

    // The total at `seconds` on a steady clock.
    void add(double seconds, std::uint64_t total);
    // Samples per second; empty until two totals a moment apart.
    std::optional<double> rate() const;
    // The seconds the rate is taken over; 0 without one.
    double measuredOver() const;

private:
    std::deque<std::pair<double, std::uint64_t>> m_points; // oldest first
    std::optional<double> m_held; // the rate before the total stood still
};
