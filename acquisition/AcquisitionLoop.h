#pragma once

class AcquisitionObserver;
struct MeasurementState;
class SerialLink;
class WindowToolkit;

// START: the program's main loop. It reads frames from the serial link one
// character at a time, enters each reading into the measurement state and
// shows it in the output fields and the lamp. Every other handler of the
// window runs inside its yields.
class AcquisitionLoop
{
public:
    AcquisitionLoop(MeasurementState &state, WindowToolkit &window, SerialLink &link);

    // Resets the counters, opens the link (or drops its pending input when it
    // is open) and reads frames until the program ends. START pressed while
    // the loop runs does the same set-up and makes the running loop drop its
    // partial frame and hunt afresh, so repeated presses never nest deeper.
    void startAcquisition();

    bool isRunning() const { return m_running; }
    // Tells `observer` of every completed frame and of a lost port; null for
    // nobody.
    void setObserver(AcquisitionObserver *observer) { m_observer = observer; }

private:
    bool beginRun();
    void run();
    void frameStarted();
    // `code` is the frame's reading.
    void frameCompleted(int code);
    void waitForInput();

    MeasurementState &m_state;
    WindowToolkit &m_window;
    SerialLink &m_link;
    AcquisitionObserver *m_observer = nullptr;
    bool m_running = false;
    bool m_portLostTold = false;
    bool m_restartRequested = false;
};
