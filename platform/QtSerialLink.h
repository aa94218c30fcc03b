#pragma once

#include "platform/LineSettings.h"
#include "platform/SerialLink.h"

#include <QSerialPort>
#include <QString>

#include <array>

// The serial link on a QSerialPort. Port 1 is the machine's first serial port
// (/dev/ttyS0, or COM1 on Windows) unless the environment variable ADTEST_COM1
// names another device, such as a USB adapter or a pseudo-terminal.
class QtSerialLink : public SerialLink
{
public:
    QtSerialLink();

    // The device that stands for a port number.
    static QString deviceForPort(int portNumber);
    // Closes the port; the program ends right after, or a START reopens it.
    void close();

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
    std::int16_t available() const override;
    char readChar() override;
    std::string errorString() const override;

private:
    void handleError(QSerialPort::SerialPortError error);
    QString describeOpenFailure() const;
    void refill() const;

    // Read ahead in blocks, so that a character costs no call into the port.
    mutable QSerialPort m_port;
    mutable std::array<char, 4096> m_readAhead {};
    mutable std::size_t m_readPos = 0;
    mutable std::size_t m_readEnd = 0;
    QString m_device;
    LineSettings m_line;
    QString m_error;
};
