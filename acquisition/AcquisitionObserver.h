#pragma once

// Told by START's loop what happened on the line, for a program that runs the
// loop and needs more than the window's fields show.
class AcquisitionObserver
{
public:
    virtual ~AcquisitionObserver() = default;

    // A frame's CR arrived and its reading is in the measurement state.
    virtual void frameCompleted(int code) = 0;
    // The link closed by itself (the device went away) and everything it had
    // received has been read: no more frames will come until START opens it
    // again. Told once per run.
    virtual void portLost() = 0;
};
