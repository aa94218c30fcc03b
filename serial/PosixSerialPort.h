#pragma once

#include "LineSettings.h"

#include <cstddef>
#include <string>

#include <termios.h>

// A serial device held by this program alone. It is opened by its canonical
// path (so a symbolic link and its target are one device), raw and
// non-blocking, and for as long as it is open it carries an exclusive flock()
// that every copy of the program respects, whoever runs it, plus TIOCEXCL,
// which keeps other users' programs from opening it at all. Closing it puts
// back the settings it had when it was opened.
class PosixSerialPort
{
public:
    enum class OpenResult { Opened, Missing, Busy, PermissionDenied, NotASerialPort, Failed };
    enum class ReadStatus { Read, Empty, HungUp };
    struct ReadResult
    {
        ReadStatus status = ReadStatus::Empty;
        std::size_t count = 0;
    };

    PosixSerialPort() = default;
    ~PosixSerialPort();
    PosixSerialPort(const PosixSerialPort &) = delete;
    PosixSerialPort &operator=(const PosixSerialPort &) = delete;

    OpenResult open(const std::string &path, const LineSettings &line);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    // The device the path led to: set by open(), even when opening failed
    // after the path was resolved.
    const std::string &canonicalPath() const { return m_canonicalPath; }
    // The system's reason for the last failed open().
    int openError() const { return m_openError; }

    // One non-blocking read of up to `capacity` characters. HungUp means the
    // device has gone (end of file, or an error such as EIO): the caller
    // closes the port.
    ReadResult read(char *into, std::size_t capacity);
    // Whether the descriptor reports a hang-up or an error without a read.
    bool reportsHangUp() const;

    void discardInput();
    void discardOutput();
    // Fails quietly on devices without modem lines, such as pseudo-terminals.
    void setDtr(bool raised);
    void setRts(bool raised);

private:
    OpenResult fail(OpenResult result, int error);
    void setModemLine(int line, bool raised);

    int m_fd = -1;
    std::string m_canonicalPath;
    int m_openError = 0;
    termios m_savedSettings {};
    bool m_hasSavedSettings = false;
};
