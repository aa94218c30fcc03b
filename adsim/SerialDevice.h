#pragma once

#include "TerminalSink.h"

#include <string>

// A real serial port (such as /dev/ttyUSB0) set to 9600 8N1 raw, for driving
// the tool on another machine through a cable.
class SerialDevice : public TerminalSink
{
public:
    // On failure returns false and errorString() says why.
    bool open(const std::string &path);

    // Whoever is at the far end of a cable cannot be seen; assume a listener.
    bool readerPresent() const override { return true; }
    // Waits until the port has shifted out every byte written.
    void waitDelivered(const std::atomic<bool> &stop, std::chrono::milliseconds linger) override;
};
