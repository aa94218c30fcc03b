#include "QtSerialLink.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

QtSerialLink::QtSerialLink()
{
    // Received bytes stay bytes: no flow control, NUL kept.
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
        [this](QSerialPort::SerialPortError error) { handleError(error); });
}

QString QtSerialLink::deviceForPort(int portNumber)
{
    const QByteArray variable = "ADTEST_COM" + QByteArray::number(portNumber);
    const QString named = qEnvironmentVariable(variable.constData());
    if (!named.isEmpty())
        return named;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

void QtSerialLink::close()
{
    if (m_port.isOpen())
        m_port.close();
}

bool QtSerialLink::isOpen() const
{
    return m_port.isOpen();
}

void QtSerialLink::setInputBufferSize(std::int16_t characters)
{
    m_port.setReadBufferSize(std::max<qint64>(characters, 0));
}

void QtSerialLink::setPort(std::int16_t portNumber)
{
    m_device = deviceForPort(portNumber);
    m_port.setPortName(m_device);
}

void QtSerialLink::setLine(std::string_view settings)
{
    if (const auto parsed = LineSettings::parse(settings))
        m_line = *parsed;
}

// Every read returns one character; that is the only length the loop asks for.
void QtSerialLink::setReadLength(std::int16_t) { }

bool QtSerialLink::open()
{
    using Parity = LineSettings::Parity;
    using StopBits = LineSettings::StopBits;
    static const QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::EvenParity,
        QSerialPort::OddParity, QSerialPort::MarkParity, QSerialPort::SpaceParity};
    static const QSerialPort::StopBits stopBits[]
        = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
    static_assert(std::size(parities) == int(Parity::Space) + 1);
    static_assert(std::size(stopBits) == int(StopBits::Two) + 1);

    m_port.setBaudRate(m_line.baudRate);
    m_port.setParity(parities[int(m_line.parity)]);
    m_port.setDataBits(QSerialPort::DataBits(m_line.dataBits));
    m_port.setStopBits(stopBits[int(m_line.stopBits)]);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (m_port.open(QIODevice::ReadWrite)) {
        m_error.clear();
        return true;
    }
    m_error = describeOpenFailure();
    return false;
}

void QtSerialLink::discardOutput()
{
    m_port.clear(QSerialPort::Output);
}

void QtSerialLink::discardInput()
{
    m_port.clear(QSerialPort::Input);
    m_readPos = m_readEnd = 0;
}

// A pseudo-terminal has no modem lines and refuses to set them; that is no
// reason to stop, so the answer is not checked.
void QtSerialLink::setDtr(bool raised)
{
    m_port.setDataTerminalReady(raised);
}

void QtSerialLink::setRts(bool raised)
{
    m_port.setRequestToSend(raised);
}

// QSerialPort never drops NUL characters, which is what the loop needs.
void QtSerialLink::setDiscardNul(bool) { }

void QtSerialLink::refill() const
{
    m_readPos = 0;
    m_readEnd = 0;
    if (m_port.isOpen())
        m_readEnd
            = std::size_t(std::max<qint64>(m_port.read(m_readAhead.data(), m_readAhead.size()), 0));
}

// Counts what has been read ahead; the rest waits in the port.
std::int16_t QtSerialLink::available() const
{
    if (m_readPos == m_readEnd)
        refill();
    return static_cast<std::int16_t>(m_readEnd - m_readPos);
}

char QtSerialLink::readChar()
{
    if (m_readPos == m_readEnd)
        refill();
    return m_readPos < m_readEnd ? m_readAhead[m_readPos++] : char(0);
}

std::string QtSerialLink::errorString() const
{
    return m_error.toStdString();
}

// When the device goes away (a USB adapter pulled, the far end of a
// pseudo-terminal closed) QSerialPort reports the error again on every pass of
// the event loop. Closing the port stops that; the loop then waits as it does
// for data, and the next START opens the port afresh. The close is queued
// because the error arrives from inside QSerialPort's own read handler.
void QtSerialLink::handleError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    QMetaObject::invokeMethod(
        &m_port, [this] { close(); }, Qt::QueuedConnection);
}

QString QtSerialLink::describeOpenFailure() const
{
    const QString where = QStringLiteral("Cannot open serial port 1 (%1): ").arg(m_device);
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return where
            + QStringLiteral("no such device.\n\nConnect the converter, or name its device in "
                             "the environment variable ADTEST_COM1 (for example /dev/ttyUSB0).");
    case QSerialPort::PermissionError:
        // QSerialPort reports a port held by another program as a permission
        // error too; only the device's own permissions tell the two apart.
        if (QFileInfo::exists(m_device)
            && ::access(QFile::encodeName(m_device).constData(), R_OK | W_OK) != 0) {
            return where
                + QStringLiteral("permission denied.\n\nAdd your user to the dialout group "
                                 "(sudo adduser $USER dialout), then log out and in again.");
        }
        return where
            + QStringLiteral("the port is busy.\n\nAnother program, or another copy of this one, "
                             "is using it. Close that program and try again.");
    default:
        return where + m_port.errorString() + QLatin1Char('.');
    }
}
