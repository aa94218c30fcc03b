#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The serial port as the acquisition loop uses it: set it up, open it, and poll
// it one received character at a time. The program never sends.
class SerialLink
{
public:
    virtual ~SerialLink() = default;

    virtual bool isOpen() const = 0;
    virtual void setInputBufferSize(std::int16_t characters) = 0;
    virtual void setPort(std::int16_t portNumber) = 0;
    // Line parameters such as "9600,n,8,1": baud, parity, data bits, stop bits.
    virtual void setLine(std::string_view settings) = 0;
    virtual void setReadLength(std::int16_t characters) = 0;
    // Opens the port with the settings so far. On failure returns false and
    // errorString() tells the operator what happened and what to do.
    virtual bool open() = 0;
    virtual void discardOutput() = 0;
    virtual void discardInput() = 0;
    virtual void setDtr(bool raised) = 0;
    virtual void setRts(bool raised) = 0;
    virtual void setDiscardNul(bool discard) = 0;
    // Characters received and not yet read.
    virtual std::int16_t available() const = 0;
    // The next received character; only called when available() is non-zero.
    virtual char readChar() = 0;

    virtual std::string errorString() const = 0;
};
