#pragma once

#include <QDateTime>

#include <cstddef>
#include <cstdint>
#include <optional>

// When the sample record's readings came: told once a second how many have
// been appended, it gives the rate they arrive at and when the oldest of
// those held came, so that a saved record can say both beside it. The rate
// is taken between the first and the last second that saw the record grow:
// an idle line before START or after the port went away does not lower it.
class RecordClock
{
public:
    void observe(std::uint64_t appended, const QDateTime &now);

    // Readings per second; empty before the record has grown over a second.
    std::optional<double> sampleRate() const;
    // When the oldest of the newest `held` readings arrived; invalid without a rate.
    QDateTime firstOf(std::size_t held) const;

private:
    struct Mark
    {
        std::uint64_t appended = 0;
        QDateTime time;
    };
    std::optional<Mark> m_first;
    Mark m_last;
};
