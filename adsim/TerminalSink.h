#pragma once

#include "ByteSink.h"

#include <string>

// What the pseudo-terminal and the serial device have in common: non-blocking
// writes to a terminal file descriptor that this object owns.
class TerminalSink : public ByteSink
{
public:
    TerminalSink() = default;
    ~TerminalSink() override;
    TerminalSink(const TerminalSink &) = delete;
    TerminalSink &operator=(const TerminalSink &) = delete;

    int fd() const { return m_fd; }
    // Why the last open failed.
    const std::string &errorString() const { return m_errorString; }

    WriteResult write(std::string_view bytes) override;
    void waitWritable(std::chrono::milliseconds timeout) override;

protected:
    void adopt(int fd);
    void close();
    bool fail(const std::string &what);

private:
    int m_fd = -1;
    std::string m_errorString;
};
