#include "PacedEventPump.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// Yields between two reads of the clock; reading it costs about as much as
// handling a character. A stream at full speed brings thousands of
// characters in a pump interval: the count doubles while a read finds less
// than half the interval gone, and falls back as soon as one finds it
// overrun, so that the clock is read a few times an interval.
constexpr int fewestYieldsPerClockRead = 16;
constexpr int mostYieldsPerClockRead = 1024;

// Fewer yields than this since the last wait mean a few characters at most
// came in between: the input trickles. A stream at full speed brings
// thousands, and is never held up.
constexpr int trickleYields = 16;

} // namespace

PacedEventPump::PacedEventPump()
    : m_yieldsPerClockRead(fewestYieldsPerClockRead)
{
    m_sinceLastPump.start();
    m_sinceLastWait.start();
}

int PacedEventPump::yield(int passedBefore)
{
    countYields(passedBefore + 1);
    if (m_yieldsSinceClockRead < m_yieldsPerClockRead)
        return quietYields();
    m_yieldsSinceClockRead = 0;
    const qint64 elapsed = m_sinceLastPump.nsecsElapsed();
    if (elapsed < pumpIntervalNs / 2)
        m_yieldsPerClockRead = std::min(2 * m_yieldsPerClockRead, mostYieldsPerClockRead);
    else if (elapsed > pumpIntervalNs + pumpIntervalNs / 2)
        m_yieldsPerClockRead = std::max(m_yieldsPerClockRead / 4, fewestYieldsPerClockRead);
    if (elapsed >= pumpIntervalNs)
        pump(QEventLoop::AllEvents);
    return quietYields();
}

int PacedEventPump::wait(int passedBefore)
{
    countYields(passedBefore);
    if (m_yieldsSinceWait < trickleYields) {
        const qint64 sinceWait = m_sinceLastWait.nsecsElapsed();
        if (sinceWait < gatherIntervalNs)
            std::this_thread::sleep_for(std::chrono::nanoseconds(gatherIntervalNs - sinceWait));
    }
    pump(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_sinceLastWait.start();
    m_yieldsSinceWait = 0;
    return quietYields();
}

// Only whether trickleYields were reached since the last wait matters, so that
// count stops there rather than overflow over a long unbroken stream.
void PacedEventPump::countYields(int count)
{
    m_yieldsSinceWait = std::min(m_yieldsSinceWait + count, trickleYields);
    m_yieldsSinceClockRead += count;
}

void PacedEventPump::pump(QEventLoop::ProcessEventsFlags flags)
{
    QCoreApplication::processEvents(flags);
    m_sinceLastPump.start();
    m_yieldsSinceClockRead = 0;
}
