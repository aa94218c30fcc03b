#include "PaceSchedule.h"

#include <algorithm>

namespace {

constexpr std::uint64_t nanosecondsPerSecond = 1'000'000'000;

} // namespace

PaceSchedule::PaceSchedule(std::uint64_t bytesPerSecond, std::chrono::nanoseconds maxLag)
    : m_rate(std::clamp<std::uint64_t>(bytesPerSecond, 1, maxRate))
{
    const auto lag = static_cast<std::uint64_t>(std::max<std::int64_t>(maxLag.count(), 0));
    m_maxLagBytes = std::max<std::uint64_t>(1,
        lag / nanosecondsPerSecond * m_rate
            + lag % nanosecondsPerSecond * m_rate / nanosecondsPerSecond);
}

void PaceSchedule::restart(Clock::time_point now, std::uint64_t sent)
{
    m_start = now;
    m_sentAtStart = sent;
}

std::uint64_t PaceSchedule::bytesDue(Clock::time_point now, std::uint64_t sent)
{
    if (now <= m_start)
        return 0;
    const auto elapsed = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_start).count());
    // Whole seconds and the rest apart, so neither product can overflow.
    const std::uint64_t carried = elapsed / nanosecondsPerSecond * m_rate
        + elapsed % nanosecondsPerSecond * m_rate / nanosecondsPerSecond;
    const std::uint64_t allowed = m_sentAtStart + carried;
    if (allowed <= sent)
        return 0;
    if (allowed - sent > m_maxLagBytes) {
        restart(now, sent);
        return 0;
    }
    return allowed - sent;
}

PaceSchedule::Clock::time_point PaceSchedule::timeFor(std::uint64_t total) const
{
    if (total <= m_sentAtStart)
        return m_start;
    const std::uint64_t bytes = total - m_sentAtStart;
    const std::uint64_t rest = bytes % m_rate;
    const std::uint64_t nanoseconds = bytes / m_rate * nanosecondsPerSecond
        + (rest * nanosecondsPerSecond + m_rate - 1) / m_rate;
    return m_start + std::chrono::nanoseconds(nanoseconds);
}

PaceSchedule::Clock::time_point PaceSchedule::nextWake(
    Clock::time_point now, std::uint64_t sent) const
{
    return std::max(timeFor(sent + 1), now + batchInterval);
}
