#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

// Turns SIGINT, SIGTERM and SIGHUP into a call on the event loop, so that a
// program ends as its own exit would: a capture stops between frames and
// writes what it has, and the serial port is let go (its exclusive flag
// cleared, its settings put back) rather than left to the kernel. A second signal of the same
// kind takes its default action: a user who insists ends the process at once.
class StopSignals
{
public:
    explicit StopSignals(std::function<void()> onSignal);
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // False when the handlers could not be set up; signals then end the
    // process as usual.
    bool isActive() const { return m_notifier != nullptr; }

private:
    std::function<void()> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
