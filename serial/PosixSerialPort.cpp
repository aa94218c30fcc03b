#include "PosixSerialPort.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t speedFor(int baudRate)
{
    switch (baudRate) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    case 1152000:
        return B1152000;
    case 1500000:
        return B1500000;
    case 2000000:
        return B2000000;
    default:
        return B0;
    }
}

// Raw bytes in, nothing translated, no flow control, the receiver on, and
// modem status lines ignored.
bool applyLine(int fd, const LineSettings &line)
{
    termios settings {};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    const speed_t speed = speedFor(line.baudRate);
    if (speed == B0) {
        errno = EINVAL;
        return false;
    }
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);

    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    settings.c_cflag |= CREAD | CLOCAL;
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    settings.c_cflag |= sizes[line.dataBits - 5];
    using Parity = LineSettings::Parity;
    switch (line.parity) {
    case Parity::None:
        break;
    case Parity::Even:
        settings.c_cflag |= PARENB;
        break;
    case Parity::Odd:
        settings.c_cflag |= PARENB | PARODD;
        break;
    case Parity::Mark:
        settings.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case Parity::Space:
        settings.c_cflag |= PARENB | CMSPAR;
        break;
    }
    // Termios has no 1.5 stop bits: a UART sends 1.5 where two are asked
    // for with five data bits.
    if (line.stopBits != LineSettings::StopBits::One)
        settings.c_cflag |= CSTOPB;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    // One character satisfies a read. With the descriptor non-blocking, a
    // read with nothing waiting fails with EAGAIN, so that only a hung-up
    // device reads 0 (with VMIN 0 an empty line would read 0 as well).
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

PosixSerialPort::~PosixSerialPort()
{
    close();
}

PosixSerialPort::OpenResult PosixSerialPort::open(const std::string &path, const LineSettings &line)
{
    close();
    m_openError = 0;
    m_canonicalPath.clear();
    // realpath() allocates, so no path is too long for it.
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
        const int error = errno;
        return fail(error == EACCES ? OpenResult::PermissionDenied : OpenResult::Missing, error);
    }
    m_canonicalPath = resolved;
    std::free(resolved);

    const int fd = ::open(m_canonicalPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        switch (error) {
        case ENOENT:
        case EIO: // a /dev/ttyS* with no UART behind it
        case ENXIO:
        case ENODEV:
            return fail(OpenResult::Missing, error);
        case EBUSY:
            return fail(OpenResult::Busy, error); // TIOCEXCL of another user's program
        case EACCES:
        case EPERM:
            return fail(OpenResult::PermissionDenied, error);
        default:
            return fail(OpenResult::Failed, error);
        }
    }
    // The lock belongs to the device, not to the path: a copy that came by a
    // symbolic link meets the same lock. It goes with the descriptor, so a
    // program that dies leaves nothing behind.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(error == EWOULDBLOCK ? OpenResult::Busy : OpenResult::Failed, error);
    }
    // The device's own settings are put back when it closes, as serial
    // terminal programs do: a terminal named as the port is not left raw.
    m_hasSavedSettings = tcgetattr(fd, &m_savedSettings) == 0;
    if (!isatty(fd) || !applyLine(fd, line)) {
        const int error = errno;
        ::close(fd);
        return fail(error == ENOTTY ? OpenResult::NotASerialPort : OpenResult::Failed, error);
    }
    ::ioctl(fd, TIOCEXCL);
    m_fd = fd;
    return OpenResult::Opened;
}

PosixSerialPort::OpenResult PosixSerialPort::fail(OpenResult result, int error)
{
    m_openError = error;
    return result;
}

// TIOCEXCL stays on the device until its last descriptor closes, and a
// simulator or a monitor may hold another: clear it so the next open works.
void PosixSerialPort::close()
{
    if (m_fd < 0)
        return;
    if (m_hasSavedSettings)
        tcsetattr(m_fd, TCSANOW, &m_savedSettings);
    m_hasSavedSettings = false;
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

PosixSerialPort::ReadResult PosixSerialPort::read(char *into, std::size_t capacity)
{
    if (m_fd < 0 || capacity == 0)
        return {};
    for (;;) {
        const ssize_t count = ::read(m_fd, into, capacity);
        if (count > 0)
            return {ReadStatus::Read, static_cast<std::size_t>(count)};
        // A raw non-blocking terminal reads 0 only once it has been hung up.
        if (count == 0)
            return {ReadStatus::HungUp, 0};
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {};
        return {ReadStatus::HungUp, 0};
    }
}

bool PosixSerialPort::reportsHangUp() const
{
    if (m_fd < 0)
        return false;
    pollfd watch {m_fd, POLLIN, 0};
    if (::poll(&watch, 1, 0) <= 0)
        return false;
    return watch.revents & (POLLHUP | POLLERR | POLLNVAL);
}

void PosixSerialPort::discardInput()
{
    if (m_fd >= 0)
        tcflush(m_fd, TCIFLUSH);
}

void PosixSerialPort::discardOutput()
{
    if (m_fd >= 0)
        tcflush(m_fd, TCOFLUSH);
}

void PosixSerialPort::setDtr(bool raised)
{
    setModemLine(TIOCM_DTR, raised);
}

void PosixSerialPort::setRts(bool raised)
{
    setModemLine(TIOCM_RTS, raised);
}

void PosixSerialPort::setModemLine(int line, bool raised)
{
    if (m_fd >= 0)
        ::ioctl(m_fd, raised ? TIOCMBIS : TIOCMBIC, &line);
}
