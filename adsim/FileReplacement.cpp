#include "FileReplacement.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

FileReplacement::~FileReplacement()
{
    discard();
}

bool FileReplacement::open(const std::string &path)
{
    discard();
    m_errorString.clear();
    m_name = path;
    m_path = path;
    struct stat status;
    if (lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        // Renaming over the link would replace the link, not the file it names.
        char target[PATH_MAX];
        if (realpath(path.c_str(), target))
            m_path = target;
    }
    if (stat(m_path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        return fail("not a regular file");

    m_temporary = m_path + ".XXXXXX";
    std::vector<char> name(m_temporary.begin(), m_temporary.end());
    name.push_back('\0');
    m_fd = mkstemp(name.data());
    if (m_fd < 0) {
        m_temporary.clear();
        return fail(std::strerror(errno));
    }
    m_temporary = name.data();
    // mkstemp makes the file private; give it the permissions a new file
    // gets, or the old one's.
    const mode_t mask = umask(0);
    umask(mask);
    const mode_t mode = stat(m_path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0666 & ~mask;
    if (fchmod(m_fd, mode) != 0)
        return fail(std::strerror(errno));
    return true;
}

bool FileReplacement::commit(std::string_view contents)
{
    if (m_fd < 0)
        return fail("not open");
    while (!contents.empty()) {
        const ssize_t count = ::write(m_fd, contents.data(), contents.size());
        if (count < 0 && errno == EINTR)
            continue;
        // A write that takes nothing without an error would loop for ever.
        if (count <= 0)
            return fail(count < 0 ? std::strerror(errno) : "the write stopped short");
        contents.remove_prefix(static_cast<std::size_t>(count));
    }
    // The file system may only find out at the flush or the close that the
    // data has no room.
    if (fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        return fail(std::strerror(errno));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return fail(std::strerror(errno));
    if (std::rename(m_temporary.c_str(), m_path.c_str()) != 0)
        return fail(std::strerror(errno));
    m_temporary.clear();
    return true;
}

bool FileReplacement::fail(const std::string &why)
{
    m_errorString = "cannot write " + m_name + ": " + why;
    discard();
    return false;
}

void FileReplacement::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty())
        unlink(m_temporary.c_str());
    m_temporary.clear();
}
