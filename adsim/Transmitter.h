#pragma once

#include "ByteSink.h"
#include "PaceSchedule.h"
#include "ReceiverModel.h"
#include "SignalPattern.h"
#include "StreamGenerator.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

// The simulated converter's send loop: takes codes from the signal, frames
// them, paces the bytes and writes them to the sink, keeping a ReceiverModel
// of everything actually written. Or it replays recorded line bytes as they
// are, under the same pacing.
class Transmitter
{
public:
    struct Settings
    {
        std::uint64_t frames = 0; // 0: until stopped
        bool fast = false; // as fast as the reader takes them, else paced
        std::uint64_t rate = PaceSchedule::lineRate; // bytes per second when paced
        bool waitForReader = false; // hold back while nobody has the line open
        std::chrono::milliseconds settle {200}; // then wait this long
        std::chrono::milliseconds linger {1000}; // at the end, for delivery
        // The model keeps the values of up to this many completed frames.
        std::size_t keepCodes = 0;
    };

    enum class Outcome {
        Finished, // all frames (or all the replayed bytes) sent
        Stopped, // the stop flag was set
        ReaderGone, // the line hung up for good
        Failed, // a write failed; see errorString()
    };

    Transmitter(ByteSink &sink, SignalPattern &signal, StreamGenerator &generator,
        const Settings &settings);
    // Sends `replay` once, byte for byte; settings.frames does not apply.
    Transmitter(ByteSink &sink, std::string replay, const Settings &settings);

    // Runs until the frame count is reached or stop is set; checks stop at
    // least every few tens of milliseconds.
    Outcome run(const std::atomic<bool> &stop);

    // May be read from another thread while run() goes on.
    std::uint64_t bytesSent() const { return m_bytesSent; }
    // Only for the thread that ran run(), or for another once run() has
    // returned.
    const ReceiverModel &model() const { return m_model; }
    const std::string &errorString() const { return m_errorString; }

private:
    bool awaitReader(const std::atomic<bool> &stop);
    bool refill();

    ByteSink &m_sink;
    SignalPattern *m_signal = nullptr; // both none when replaying
    StreamGenerator *m_generator = nullptr;
    std::string m_replay;
    std::size_t m_replayed = 0; // bytes of m_replay taken into m_pending
    Settings m_settings;
    PaceSchedule m_schedule;
    ReceiverModel m_model;
    std::string m_pending;
    std::atomic<std::uint64_t> m_bytesSent {0};
    std::uint64_t m_framesGenerated = 0;
    std::string m_errorString;
};
