#pragma once

#include "CaptureReport.h"
#include "ProgressLine.h"

#include "AcquisitionLoop.h"
#include "AcquisitionObserver.h"
#include "HeadlessToolkit.h"
#include "MeasurementState.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class SerialLink;

// One unattended capture: the window's acquisition loop on port 1 behind a
// window-free toolkit, stopped by a frame count, a time, a signal or the
// device going away.
class CaptureSession : private AcquisitionObserver
{
public:
    struct Settings
    {
        std::optional<int> frames;
        std::optional<double> seconds;
        std::optional<TestKind> kind; // for the progress line's figures
        bool showProgress = false; // a progress line on standard error
        std::size_t recordLength = SampleRecord::defaultCapacity;
    };

    CaptureSession(SerialLink &link, const Settings &settings);

    // Runs the capture. Returns how it stopped, or nothing when the port could
    // not be opened; portError() then says why.
    std::optional<CaptureStop> run();
    const std::string &portError() const { return m_toolkit.endMessage(); }

    // One count per code, for the analysis and the CSV; valid while the
    // session lives.
    std::span<const std::uint64_t> counts() const;
    const SampleRecord &record() const { return m_state.record; }
    std::int64_t frames() const { return m_state.frameCount; }
    QDateTime startTime() const { return m_startTime; }
    QDateTime endTime() const { return m_endTime; }
    double elapsedSeconds() const { return m_elapsedSeconds; }

private:
    void frameCompleted(int code) override;
    void portLost() override;
    void tick();
    void stopWith(CaptureStop stop);
    CaptureProgress progress() const;

    Settings m_settings;
    MeasurementState m_state;
    HeadlessToolkit m_toolkit;
    AcquisitionLoop m_loop;
    std::optional<CaptureStop> m_stop;
    std::int64_t m_completedFrames = 0;
    QElapsedTimer m_clock;
    QTimer m_ticker;
    QTimer m_deadline;
    QDateTime m_startTime;
    QDateTime m_endTime;
    double m_elapsedSeconds = 0;
};
