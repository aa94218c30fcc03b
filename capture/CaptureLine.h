#pragma once

#include <QString>

#include <cstddef>
#include <functional>

class SerialLink;

// The serial line a capture reads: the link START's loop polls, the device
// it stands for (for the report and the messages), and every byte as it
// arrives, for --raw. adcapture reads a serial port (openSerialPortLine); a
// test passes a fake link.
class CaptureLine
{
public:
    using RawSink = std::function<void(const char *bytes, std::size_t count)>;

    virtual ~CaptureLine() = default;
    virtual SerialLink &link() = 0;
    virtual QString device() const = 0;
    // Hands every block to `sink` as it is read, before anything is dropped.
    virtual void setRawSink(RawSink sink) = 0;
};
