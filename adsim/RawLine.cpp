#include "RawLine.h"

#include <termios.h>

bool setRawLine9600(int fd)
{
    termios settings {};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    // No echo, no line editing, no CR/NL translation, no signals from bytes:
    // every byte passes unchanged.
    cfmakeraw(&settings);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    // CLOCAL: a missing carrier-detect line must not block open or write.
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, B9600) != 0 || cfsetospeed(&settings, B9600) != 0)
        return false;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}
