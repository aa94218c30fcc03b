#pragma once

#include "LineSettings.h"
#include "PosixSerialPort.h"
#include "ReceiveBuffer.h"
#include "SerialLink.h"

#include <QSocketNotifier>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

// The serial link on a POSIX terminal device, woken by the Qt event loop.
// Port 1 is the device the program chose for it (choosePort1Device: a USB
// adapter, a pseudo-terminal, or by default the machine's first serial
// port); port N is /dev/ttyS(N-1).
//
// Input is read in blocks into the link's own buffer, bounded by the input
// buffer size; when the device goes away (end of file, EIO, a hang-up) the
// link closes the port by itself and the next open() starts afresh.
class QtSerialLink : public SerialLink
{
public:
    // An empty `port1Device` is chosen by choosePort1Device() when the port
    // is set, for callers that name none.
    explicit QtSerialLink(const QString &port1Device = {});

    // The device that stands for port 1.
    QString port1Device() const;
    // Closes the port; the program ends right after, or a START reopens it.
    void close();

    // The device as named by setPort(), and the device it leads to (empty
    // before the first open).
    QString device() const { return m_device; }
    QString openedDevice() const { return QString::fromStdString(m_port.canonicalPath()); }
    // Characters that arrived since the port was opened or its input last
    // discarded.
    std::uint64_t charactersReceived() const { return m_charactersReceived; }
    // The port closed because the device went away.
    bool deviceLost() const { return m_deviceLost; }
    // Handed every block as it is read from the device, before anything is
    // dropped, so that a line can be kept byte for byte.
    using RawSink = std::function<void(const char *bytes, std::size_t count)>;
    void setRawSink(RawSink sink) { m_rawSink = std::move(sink); }

    bool isOpen() const override;
    void setInputBufferSize(std::int16_t characters) override;
    void setPort(std::int16_t portNumber) override;
    void setLine(std::string_view settings) override;
    void setReadLength(std::int16_t characters) override;
    bool open() override;
    void discardOutput() override;
    void discardInput() override;
    void setDtr(bool raised) override;
    void setRts(bool raised) override;
    void setDiscardNul(bool discard) override;
    std::string_view received() const override;
    void consume(std::size_t count) override;
    std::string errorString() const override;

private:
    // One read of what has arrived, as much as the buffer has room for.
    void receive();
    void loseDevice();
    QString describeOpenFailure(PosixSerialPort::OpenResult result) const;

    PosixSerialPort m_port;
    ReceiveBuffer m_received;
    // received() is a query to its callers, but on an empty buffer it turns
    // the arrival notifier back on.
    mutable QSocketNotifier m_arrival {QSocketNotifier::Read};
    std::uint64_t m_charactersReceived = 0;
    bool m_deviceLost = false;
    RawSink m_rawSink;

    QString m_port1Device;
    QString m_device;
    LineSettings m_line;
    bool m_discardNul = false;
    QString m_error;
};
