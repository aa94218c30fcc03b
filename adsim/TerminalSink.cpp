#include "TerminalSink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include <poll.h>
#include <unistd.h>

TerminalSink::~TerminalSink()
{
    close();
}

ByteSink::WriteResult TerminalSink::write(std::string_view bytes)
{
    ssize_t written;
    do {
        written = ::write(m_fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);

    if (written >= 0)
        return {WriteResult::Status::Written, static_cast<std::size_t>(written), 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        return {WriteResult::Status::Full, 0, 0};
    if (errno == EIO)
        return {WriteResult::Status::ReaderGone, 0, EIO};
    return {WriteResult::Status::Failed, 0, errno};
}

void TerminalSink::waitWritable(std::chrono::milliseconds timeout)
{
    pollfd watch {m_fd, POLLOUT, 0};
    const int ready = poll(&watch, 1, static_cast<int>(timeout.count()));
    // A hung-up pseudo-terminal reports POLLHUP at once, room or not; sleep
    // instead of spinning until a reader makes room.
    if (ready > 0 && !(watch.revents & POLLOUT))
        std::this_thread::sleep_for(std::min(timeout, std::chrono::milliseconds(20)));
}

void TerminalSink::adopt(int fd)
{
    close();
    m_fd = fd;
}

void TerminalSink::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool TerminalSink::fail(const std::string &what)
{
    m_errorString = what + ": " + std::strerror(errno);
    close();
    return false;
}
