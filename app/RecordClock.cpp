#include "RecordClock.h"

void RecordClock::observe(std::uint64_t appended, const QDateTime &now)
{
    // A record that shrank was started afresh (START, RESET); one that has
    // not grown since the first mark moves the mark to now.
    if (!m_first || appended < m_last.appended || appended == m_first->appended) {
        m_first = Mark {appended, now};
        m_last = *m_first;
        return;
    }
    if (appended > m_last.appended)
        m_last = {appended, now};
}

std::optional<double> RecordClock::sampleRate() const
{
    if (!m_first || m_last.appended <= m_first->appended)
        return std::nullopt;
    const qint64 milliseconds = m_first->time.msecsTo(m_last.time);
    if (milliseconds <= 0)
        return std::nullopt;
    return double(m_last.appended - m_first->appended) * 1000.0 / double(milliseconds);
}

QDateTime RecordClock::firstOf(std::size_t held) const
{
    const std::optional<double> rate = sampleRate();
    if (!rate)
        return {};
    return m_last.time.addMSecs(-qint64(double(held) * 1000.0 / *rate));
}
