#include "RegularFileBuffer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t bufferBytes = 64 * 1024;

std::string notRegular(const struct stat &info)
{
    return S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file";
}

} // namespace

RegularFileBuffer::~RegularFileBuffer()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RegularFileBuffer::failWith(std::string reason)
{
    m_error = std::move(reason);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    return false;
}

bool RegularFileBuffer::open(const std::string &path)
{
    // Looked at before it is opened: opening a FIFO waits for a writer, and
    // opening a serial device may raise its control lines.
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0)
        return failWith(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return failWith(notRegular(info));
    // Without blocking, and looked at again once open, should the path have
    // been replaced in between.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return failWith(std::strerror(errno));
    if (::fstat(m_fd, &info) != 0)
        return failWith(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return failWith(notRegular(info));
    m_buffer.resize(bufferBytes);
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
    return true;
}

std::streamsize RegularFileBuffer::readFile(char *to, std::streamsize count)
{
    std::streamsize done = 0;
    while (done < count && m_fd >= 0) {
        const ssize_t got = ::read(m_fd, to + done, std::size_t(count - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            m_error = std::strerror(errno);
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

RegularFileBuffer::int_type RegularFileBuffer::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    if (m_fd < 0)
        return traits_type::eof();
    ssize_t count = 0;
    do {
        count = ::read(m_fd, m_buffer.data(), m_buffer.size());
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        m_error = std::strerror(errno);
        return traits_type::eof();
    }
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + count);
    return count == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

std::streamsize RegularFileBuffer::xsgetn(char_type *to, std::streamsize count)
{
    const std::streamsize buffered = std::min<std::streamsize>(count, egptr() - gptr());
    if (buffered > 0) {
        std::copy_n(gptr(), buffered, to);
        setg(eback(), gptr() + buffered, egptr());
    }
    const std::streamsize rest = count - buffered;
    if (rest == 0)
        return count;
    if (rest < std::streamsize(bufferBytes))
        return buffered + std::streambuf::xsgetn(to + buffered, rest);
    return buffered + readFile(to + buffered, rest);
}

RegularFileBuffer::pos_type RegularFileBuffer::seekoff(
    off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which)
{
    if (m_fd < 0 || !(which & std::ios_base::in))
        return pos_type(off_type(-1));
    if (direction == std::ios_base::beg)
        return seekpos(pos_type(offset), which);
    if (direction == std::ios_base::cur) {
        const off_t read = ::lseek(m_fd, 0, SEEK_CUR);
        if (read < 0)
            return pos_type(off_type(-1));
        return seekpos(pos_type(read - (egptr() - gptr()) + offset), which);
    }
    const off_t end = ::lseek(m_fd, offset, SEEK_END);
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
    return pos_type(off_type(end));
}

RegularFileBuffer::pos_type RegularFileBuffer::seekpos(
    pos_type position, std::ios_base::openmode which)
{
    if (m_fd < 0 || !(which & std::ios_base::in))
        return pos_type(off_type(-1));
    const off_t at = ::lseek(m_fd, off_t(off_type(position)), SEEK_SET);
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
    return pos_type(off_type(at));
}
