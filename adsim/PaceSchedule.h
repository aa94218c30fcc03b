#pragma once

#include <chrono>
#include <cstdint>

// When bytes may go out so that they leave at a steady rate, as on a serial
// line (9600 baud with 8N1 framing carries 10 bits per byte: 960 bytes per
// second). Everything is counted from one starting point on a steady clock
// with exact integer arithmetic, so rounding never adds up to drift.
class PaceSchedule
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::uint64_t lineRate = 960;
    static constexpr std::uint64_t maxRate = 1'000'000'000;

    // bytesPerSecond from 1 to maxRate. A writer that was held up by more
    // than maxLag is not allowed to make up for it in a burst.
    explicit PaceSchedule(std::uint64_t bytesPerSecond = lineRate,
        std::chrono::nanoseconds maxLag = std::chrono::milliseconds(250));

    // Starts the schedule at now, with sent bytes already out.
    void restart(Clock::time_point now, std::uint64_t sent);
    // How many more bytes may go out at now, sent having gone out so far.
    // When that is more than maxLag's worth the schedule restarts at now
    // instead, and the answer is 0.
    std::uint64_t bytesDue(Clock::time_point now, std::uint64_t sent);
    // The earliest time at which the total sent may have reached total.
    Clock::time_point timeFor(std::uint64_t total) const;
    // When the writer should look again: when the next byte is due, but no
    // sooner than batchInterval after now, so bytes go out in small batches
    // rather than one wake-up per byte.
    Clock::time_point nextWake(Clock::time_point now, std::uint64_t sent) const;

    static constexpr std::chrono::milliseconds batchInterval {4};

private:
    std::uint64_t m_rate;
    std::uint64_t m_maxLagBytes;
    Clock::time_point m_start {};
    std::uint64_t m_sentAtStart = 0;
};
