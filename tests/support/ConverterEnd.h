#pragma once

#include "PseudoTerminal.h"

#include <QByteArray>
#include <QtGlobal>

#include <chrono>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

// The converter's end of a pseudo-terminal. Creating one makes its other end
// port 1 of the tool (through ADTEST_COM1); destroying it is the adapter
// being pulled.
class ConverterEnd
{
public:
    ConverterEnd()
    {
        if (!m_terminal.open())
            qFatal("cannot create a pseudo-terminal: %s", m_terminal.errorString().c_str());
        qputenv("ADTEST_COM1", QByteArray::fromStdString(m_terminal.slavePath()));
        // Opened before the tool opens the port, which it may then hold
        // exclusively; only used to look at the port's input queue.
        m_portSide
            = ::open(m_terminal.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_portSide < 0)
            qFatal("cannot open %s", m_terminal.slavePath().c_str());
    }
    ~ConverterEnd() { ::close(m_portSide); }

    // Writes all of `bytes`, waiting while the line is full.
    void send(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ByteSink::WriteResult result = m_terminal.write(bytes);
            if (result.status == ByteSink::WriteResult::Status::Written)
                bytes.remove_prefix(result.count);
            else if (result.status == ByteSink::WriteResult::Status::Full)
                m_terminal.waitWritable(std::chrono::milliseconds(50));
            else
                qFatal("writing to the pseudo-terminal failed");
        }
    }
    void send(const QByteArray &bytes) { send(std::string_view(bytes.constData(), bytes.size())); }
    void send(const char *bytes) { send(std::string_view(bytes)); }

    // Bytes that have reached the port and wait there unread. A write to the
    // converter's end returns before its bytes arrive.
    int bytesAtPort() const
    {
        int count = 0;
        return ::ioctl(m_portSide, FIONREAD, &count) == 0 ? count : -1;
    }
    // Waits, without running any handler of the window, until at least
    // `count` bytes wait at the port. False if they have not arrived within
    // five seconds.
    bool awaitBytesAtPort(int count) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (bytesAtPort() < count) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    PseudoTerminal &terminal() { return m_terminal; }

private:
    PseudoTerminal m_terminal;
    int m_portSide = -1;
};
