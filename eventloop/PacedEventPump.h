#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QtGlobal>

// The event pump behind a toolkit's yieldToEvents and waitForEvents. START's
// loop yields after every character of a frame and waits whenever the port
// has nothing; pumping Qt's events at each of those points would cost system
// calls per character. This pump lets a yield through only when enough time
// has passed, and lets trickling input gather before a wait.
class PacedEventPump
{
public:
    // A yield pumps events only when this much time has passed since the last
    // pump. A pump costs system calls; a character costs nanoseconds. Nobody
    // can tell a click handled a fraction of a millisecond later.
    static constexpr qint64 pumpIntervalNs = 200'000;
    // Input that trickles in (a line at 9600 baud brings a character a
    // millisecond) is let gather this long between waits, so that the thread
    // wakes fifty times a second rather than once per character. A click
    // waits no longer than this, which is still too short to notice.
    static constexpr qint64 gatherIntervalNs = 20'000'000;

    PacedEventPump();

    // Both take the yields the caller let pass as a count since its last
    // call (they come first, as if yield() had been called for each), and
    // return how many of the yields that follow would only be counted: a
    // caller may count those itself and hand them to the next call.
    int yield(int passedBefore = 0);
    // Waiting means the port has nothing more: always pump, sleeping until
    // something happens, after letting trickling input gather.
    int wait(int passedBefore = 0);

private:
    void pump(QEventLoop::ProcessEventsFlags flags);
    void countYields(int count);
    int quietYields() const { return m_yieldsPerClockRead - 1 - m_yieldsSinceClockRead; }

    QElapsedTimer m_sinceLastPump;
    QElapsedTimer m_sinceLastWait;
    int m_yieldsSinceClockRead = 0;
    int m_yieldsPerClockRead;
    int m_yieldsSinceWait = 0;
};
