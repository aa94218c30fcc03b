#include "ArrivalRate.h"

void ArrivalRate::add(double seconds, std::uint64_t total)
{
    if (!m_points.empty() && (total < m_points.back().second || seconds < m_points.back().first)) {
        m_points.clear();
        m_held.reset();
    } else if (!m_points.empty() && total == m_points.back().second) {
        // Stopped: the time without samples is no part of the rate.
        if (const std::optional<double> last = rate())
            m_held = last;
        m_points.clear();
    }
    m_points.emplace_back(seconds, total);
    // Keep the newest point at least `span` old, so the span stays full.
    while (m_points.size() > 2 && seconds - m_points[1].first >= span)
        m_points.pop_front();
}

std::optional<double> ArrivalRate::rate() const
{
    if (m_points.size() < 2 || m_points.back().first <= m_points.front().first)
        return m_held;
    return double(m_points.back().second - m_points.front().second)
        / (m_points.back().first - m_points.front().first);
}

double ArrivalRate::measuredOver() const
{
    return m_points.size() < 2 ? 0 : m_points.back().first - m_points.front().first;
}
