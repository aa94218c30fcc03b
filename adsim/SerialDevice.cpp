#include "SerialDevice.h"

#include "RawLine.h"

#include <cerrno>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

bool SerialDevice::open(const std::string &path)
{
    // O_NONBLOCK also keeps open() from waiting for a carrier-detect signal.
    const int device = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (device < 0)
        return fail("cannot open " + path);
    adopt(device);
    if (!isatty(device))
        return fail(path + " is not a serial device");
    if (!setRawLine9600(device))
        return fail("cannot set " + path + " to 9600 8N1");
    return true;
}

void SerialDevice::waitDelivered(const std::atomic<bool> &stop, std::chrono::milliseconds)
{
    // tcdrain() returns early with EINTR when a stop signal arrives.
    if (!stop)
        tcdrain(fd());
}
