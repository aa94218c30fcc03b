#include "QtSerialLink.h"

#include "DeviceHolders.h"
#include "PermissionAdvice.h"
#include "PortChoice.h"
#include "SerialPortList.h"

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// The most one read() takes from the kernel: enough that a fast stream costs
// a system call per few thousand characters, not per character.
constexpr std::size_t blockSize = 4096;

} // namespace

QtSerialLink::QtSerialLink(const QString &port1Device)
    : m_port1Device(port1Device)
{
    QObject::connect(&m_arrival, &QSocketNotifier::activated, &m_arrival, [this] { receive(); });
}

QString QtSerialLink::port1Device() const
{
    return choosePort1Device(m_port1Device);
}

void QtSerialLink::close()
{
    m_arrival.setEnabled(false);
    m_port.close();
}

bool QtSerialLink::isOpen() const
{
    return m_port.isOpen();
}

void QtSerialLink::setInputBufferSize(std::int16_t characters)
{
    m_received.setCapacity(static_cast<std::size_t>(std::max<int>(characters, 1)));
}

void QtSerialLink::setPort(std::int16_t portNumber)
{
    m_device = portNumber == 1 ? port1Device() : QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
}

void QtSerialLink::setLine(std::string_view settings)
{
    if (const auto parsed = LineSettings::parse(settings))
        m_line = *parsed;
}

// Reads are served one character at a time from the buffer, which is the
// only length the loop asks for.
void QtSerialLink::setReadLength(std::int16_t) { }

bool QtSerialLink::open()
{
    close();
    const PosixSerialPort::OpenResult result = m_port.open(m_device.toStdString(), m_line);
    if (result != PosixSerialPort::OpenResult::Opened) {
        m_error = describeOpenFailure(result);
        return false;
    }
    m_error.clear();
    m_received.clear();
    m_charactersReceived = 0;
    m_deviceLost = false;
    m_arrival.setSocket(m_port.descriptor());
    m_arrival.setEnabled(true);
    return true;
}

void QtSerialLink::discardOutput()
{
    m_port.discardOutput();
}

void QtSerialLink::discardInput()
{
    m_received.clear();
    m_port.discardInput();
    m_charactersReceived = 0;
    if (m_port.isOpen())
        m_arrival.setEnabled(true);
}

// A pseudo-terminal has no modem lines and refuses to set them; that is no
// reason to stop, so the answer is not checked.
void QtSerialLink::setDtr(bool raised)
{
    m_port.setDtr(raised);
}

void QtSerialLink::setRts(bool raised)
{
    m_port.setRts(raised);
}

void QtSerialLink::setDiscardNul(bool discard)
{
    m_discardNul = discard;
}

// Input reaches the buffer only from the event loop, as a driver fills a
// port's buffer in the background: a START or any other handler already
// waiting runs before the next block is taken, and a stream that never pauses
// cannot keep the window from its events.
std::string_view QtSerialLink::received() const
{
    if (m_received.empty() && m_port.isOpen() && !m_arrival.isEnabled())
        m_arrival.setEnabled(true);
    return m_received.held();
}

void QtSerialLink::consume(std::size_t count)
{
    m_received.drop(count);
}

std::string QtSerialLink::errorString() const
{
    return m_error.toStdString();
}

// While the buffer is full the notifier is off, so that waiting input does
// not wake the event loop again and again; the loop drains the buffer and
// received() on the empty buffer turns it back on.
void QtSerialLink::receive()
{
    if (!m_port.isOpen())
        return;
    const std::span<char> room = m_received.room(blockSize);
    if (room.empty()) {
        m_arrival.setEnabled(false);
        return;
    }
    const PosixSerialPort::ReadResult result = m_port.read(room.data(), room.size());
    switch (result.status) {
    case PosixSerialPort::ReadStatus::Read:
        if (m_rawSink)
            m_rawSink(room.data(), result.count);
        m_charactersReceived += result.count;
        m_received.commit(result.count, m_discardNul);
        break;
    case PosixSerialPort::ReadStatus::Empty:
        // Woken with nothing to read: a descriptor that reports a hang-up
        // without failing the read would otherwise wake the loop forever.
        if (m_port.reportsHangUp())
            loseDevice();
        break;
    case PosixSerialPort::ReadStatus::HungUp:
        loseDevice();
        break;
    }
    if (m_port.isOpen() && m_arrival.isEnabled() == m_received.full())
        m_arrival.setEnabled(!m_received.full());
}

// The device has gone (an adapter pulled, the far end of a pseudo-terminal
// closed). Closing the port stops the wake-ups; what was received stays to
// be read, and the next START opens the port afresh.
void QtSerialLink::loseDevice()
{
    m_arrival.setEnabled(false);
    m_port.close();
    m_deviceLost = true;
}

QString QtSerialLink::describeOpenFailure(PosixSerialPort::OpenResult result) const
{
    using OpenResult = PosixSerialPort::OpenResult;
    QString text = QStringLiteral("Cannot open serial port 1 (%1): ").arg(m_device);
    const QString namingAdvice = QStringLiteral("with --port or in the environment variable "
                                                "ADTEST_COM1 (for example --port /dev/ttyUSB0).");
    switch (result) {
    case OpenResult::Opened:
        break;
    case OpenResult::Missing:
        text += QStringLiteral("no such device.\n\nConnect the converter, or name its device ")
            + namingAdvice;
        break;
    case OpenResult::Busy:
        // EBUSY is the exclusive flag (TIOCEXCL), which stays on a device
        // whose owner was killed before it could clear it; a live holder
        // meets the lock instead.
        if (m_port.openError() == EBUSY && processesHolding(m_port.canonicalPath()).empty()) {
            text += QStringLiteral(
                "the port is marked busy, but no program of yours has it open.\n\nA program "
                "that was killed (kill -9, a crash) can leave a port's exclusive flag set. "
                "Unplug the USB adapter and plug it in again, or restart the program that made "
                "the pseudo-terminal; if another user's program holds it, ask them.");
        } else {
            text += QStringLiteral(
                "the port is busy.\n\nAnother program, or another copy of this one, "
                "is using it. Close that program and try again.");
        }
        break;
    case OpenResult::PermissionDenied: {
        const std::string device
            = m_port.canonicalPath().empty() ? m_device.toStdString() : m_port.canonicalPath();
        text += QStringLiteral("permission denied.\n\n")
            + QString::fromStdString(permissionAdvice(inspectDeviceAccess(device)));
        break;
    }
    case OpenResult::NotASerialPort:
        text += QStringLiteral("it is not a serial port.\n\nName a serial device ") + namingAdvice;
        break;
    case OpenResult::Failed:
        text += QString::fromLocal8Bit(std::strerror(m_port.openError()))
            + QStringLiteral(".\n\nCheck the device and its connection, then try again.");
        break;
    }
    return text + QStringLiteral("\n\n")
        + QString::fromStdString(formatPortSummary(presentPorts(scanSerialPorts())));
}
