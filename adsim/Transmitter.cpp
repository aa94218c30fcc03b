#include "Transmitter.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

using Clock = PaceSchedule::Clock;

// Longest sleep between looks at the stop flag.
constexpr std::chrono::milliseconds stopCheckInterval {50};
constexpr std::chrono::milliseconds readerCheckInterval {20};
// Replayed bytes are taken a piece at a time, so that erasing what was
// written from the front of the pending bytes stays cheap.
constexpr std::size_t replayPiece = 4096;

// Sleeps until when, waking regularly to notice stop. Returns false if
// stopped.
bool sleepUntil(Clock::time_point when, const std::atomic<bool> &stop)
{
    while (!stop) {
        const auto now = Clock::now();
        if (now >= when)
            return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(when - now, stopCheckInterval));
    }
    return false;
}

} // namespace

Transmitter::Transmitter(
    ByteSink &sink, SignalPattern &signal, StreamGenerator &generator, const Settings &settings)
    : m_sink(sink)
    , m_signal(&signal)
    , m_generator(&generator)
    , m_settings(settings)
    , m_schedule(settings.rate)
{
    m_model.keepCodes(settings.keepCodes);
}

Transmitter::Transmitter(ByteSink &sink, std::string replay, const Settings &settings)
    : m_sink(sink)
    , m_replay(std::move(replay))
    , m_settings(settings)
    , m_schedule(settings.rate)
{
    m_model.keepCodes(settings.keepCodes);
}

Transmitter::Outcome Transmitter::run(const std::atomic<bool> &stop)
{
    if (m_settings.waitForReader && !awaitReader(stop))
        return Outcome::Stopped;
    m_schedule.restart(Clock::now(), m_bytesSent);

    while (!stop) {
        if (m_pending.empty() && !refill())
            break;
        if (m_settings.waitForReader && !m_sink.readerPresent()) {
            if (!awaitReader(stop))
                return Outcome::Stopped;
            m_schedule.restart(Clock::now(), m_bytesSent);
        }

        std::size_t allowed = m_pending.size();
        if (!m_settings.fast) {
            const auto now = Clock::now();
            const std::uint64_t due = m_schedule.bytesDue(now, m_bytesSent);
            if (due == 0) {
                sleepUntil(m_schedule.nextWake(now, m_bytesSent), stop);
                continue;
            }
            allowed = static_cast<std::size_t>(std::min<std::uint64_t>(allowed, due));
        }

        const ByteSink::WriteResult result
            = m_sink.write(std::string_view(m_pending).substr(0, allowed));
        switch (result.status) {
        case ByteSink::WriteResult::Status::Written:
            m_model.feed(std::string_view(m_pending).substr(0, result.count));
            m_pending.erase(0, result.count);
            m_bytesSent += result.count;
            break;
        case ByteSink::WriteResult::Status::Full:
            m_sink.waitWritable(stopCheckInterval);
            break;
        case ByteSink::WriteResult::Status::ReaderGone:
            if (!m_settings.waitForReader)
                return Outcome::ReaderGone;
            // The hang-up may not show in readerPresent() yet; don't spin.
            std::this_thread::sleep_for(readerCheckInterval);
            if (!awaitReader(stop))
                return Outcome::Stopped;
            m_schedule.restart(Clock::now(), m_bytesSent);
            break;
        case ByteSink::WriteResult::Status::Failed:
            m_errorString = std::strerror(result.error);
            return Outcome::Failed;
        }
    }
    if (stop)
        return Outcome::Stopped;
    m_sink.waitDelivered(stop, m_settings.linger);
    return Outcome::Finished;
}

// Waits until someone has the line open, then lets the reader settle: a tool
// discards what arrived before it was ready, so bytes sent sooner would be
// lost to it.
bool Transmitter::awaitReader(const std::atomic<bool> &stop)
{
    while (!m_sink.readerPresent()) {
        if (stop)
            return false;
        std::this_thread::sleep_for(readerCheckInterval);
    }
    return sleepUntil(Clock::now() + m_settings.settle, stop);
}

bool Transmitter::refill()
{
    if (!m_signal) {
        if (m_replayed == m_replay.size())
            return false;
        m_pending = m_replay.substr(m_replayed, replayPiece);
        m_replayed += m_pending.size();
        return true;
    }
    if (m_settings.frames != 0 && m_framesGenerated == m_settings.frames)
        return false;
    m_pending = m_generator->nextFrame(m_signal->nextCode());
    ++m_framesGenerated;
    return true;
}
