#include "PacedEventPump.h"

#include <QCoreApplication>

#include <chrono>
#include <thread>

namespace {

// Yields between two reads of the clock; reading it costs about as much as
// handling a character.
constexpr int yieldsPerClockRead = 16;

// Fewer yields than this since the last wait mean a few characters at most
// came in between: the input trickles. A stream at full speed brings
// thousands, and is never held up.
constexpr int trickleYields = 16;

} // namespace

PacedEventPump::PacedEventPump()
{
    m_sinceLastPump.start();
    m_sinceLastWait.start();
}

void PacedEventPump::yield()
{
    ++m_yieldsSinceWait;
    if (++m_yieldsSinceClockRead < yieldsPerClockRead)
        return;
    m_yieldsSinceClockRead = 0;
    if (m_sinceLastPump.nsecsElapsed() >= pumpIntervalNs)
        pump(QEventLoop::AllEvents);
}

void PacedEventPump::wait()
{
    if (m_yieldsSinceWait < trickleYields) {
        const qint64 sinceWait = m_sinceLastWait.nsecsElapsed();
        if (sinceWait < gatherIntervalNs)
            std::this_thread::sleep_for(std::chrono::nanoseconds(gatherIntervalNs - sinceWait));
    }
    pump(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_sinceLastWait.start();
    m_yieldsSinceWait = 0;
}

void PacedEventPump::pump(QEventLoop::ProcessEventsFlags flags)
{
    QCoreApplication::processEvents(flags);
    m_sinceLastPump.start();
    m_yieldsSinceClockRead = 0;
}
