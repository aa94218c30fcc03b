#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The serial port as the acquisition loop uses it: set it up, open it, and poll
// it for the characters received. The program never sends.
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
    // The characters received and not yet read, oldest first, in place: a
    // loop scans them without a call per character. Valid until the next
    // call on the link or the next time event handlers run.
    virtual std::string_view received() const = 0;
    // Marks the first `count` characters of received() as read.
    virtual void consume(std::size_t count) = 0;

    // Characters received and not yet read.
    std::int16_t available() const
    {
        return static_cast<std::int16_t>(std::min<std::size_t>(received().size(), INT16_MAX));
    }
    // The next received character; NUL when there is none.
    char readChar()
    {
        const std::string_view waiting = received();
        if (waiting.empty())
            return '\0';
        const char next = waiting.front(); // consume() ends the view's life
        consume(1);
        return next;
    }

    virtual std::string errorString() const = 0;
};
