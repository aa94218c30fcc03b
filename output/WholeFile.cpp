#include "WholeFile.h"

#include "OutputTarget.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string systemReason(int error)
{
    return std::strerror(error);
}

// What stands at `path` when it is not a regular file; empty when it is one
// or nothing is there yet.
std::string notAFile(const std::string &path)
{
    struct stat status
    { };
    if (::stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode))
        return {};
    if (S_ISDIR(status.st_mode))
        return "it is a folder, not a file";
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
        return "it is a device, not a file";
    if (S_ISFIFO(status.st_mode))
        return "it is a FIFO, not a file";
    if (S_ISSOCK(status.st_mode))
        return "it is a socket, not a file";
    return "it is not a regular file";
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

WholeFile::~WholeFile()
{
    discard();
}

bool WholeFile::open(const std::string &path)
{
    discard();
    m_path = path;
    m_target.clear();
    m_reason.clear();
    m_error.clear();
    m_standardOutput = path == "-";
    if (path.empty() || m_standardOutput)
        return true;
    if (!followLinks(path, m_target))
        return fail(systemReason(errno));
    if (const std::string what = notAFile(m_target); !what.empty())
        return fail(what);
    return createTemporary();
}

// A new file beside the target under a name of its own, made with the
// permissions of the file it replaces, or those the umask gives a new one.
bool WholeFile::createTemporary()
{
    struct stat old
    { };
    const bool replacing = ::stat(m_target.c_str(), &old) == 0;
    std::random_device random;
    static constexpr char letters[]
        = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = m_target + '.';
        for (int i = 0; i < 6; ++i)
            name += letters[random() % (sizeof letters - 1)];
        m_fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_temporary = name;
            if (replacing && ::fchmod(m_fd, old.st_mode & 07777) != 0)
                return fail(systemReason(errno));
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    const int error = errno;
    // A folder that exists but takes no new files (/proc, /sys) says "No
    // such file or directory", which would read as if it were missing.
    struct stat folder
    { };
    const std::string folderName = folderOf(m_target);
    if (error == ENOENT && ::stat(folderName.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode))
        return fail("no new file can be made in " + folderName + " (" + systemReason(error) + ")");
    return fail(systemReason(error));
}

bool WholeFile::append(std::string_view bytes)
{
    if (m_path.empty())
        return true;
    if (!m_reason.empty())
        return false;
    if (m_standardOutput) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
            return fail(systemReason(errno));
        return true;
    }
    if (m_fd < 0)
        return fail("it was already written");
    while (!bytes.empty()) {
        const ssize_t count = ::write(m_fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR)
            continue;
        // A write that takes nothing without an error would loop for ever.
        if (count <= 0)
            return fail(count < 0 ? systemReason(errno) : "the write stopped short");
        bytes.remove_prefix(std::size_t(count));
    }
    return true;
}

bool WholeFile::commit()
{
    if (m_path.empty())
        return true;
    if (!m_reason.empty())
        return false;
    if (m_standardOutput)
        return std::fflush(stdout) == 0 || fail(systemReason(errno));
    if (m_fd < 0)
        return fail("it was already written");
    // The file system may only find out at the flush or the close that the
    // data has no room.
    if (::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        return fail(systemReason(errno));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return fail(systemReason(errno));
    if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        return fail(systemReason(errno));
    m_temporary.clear();
    // The new name lasts through a power cut once the folder is on the disk.
    if (const int folder = ::open(folderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool WholeFile::write(std::string_view contents)
{
    if (!isOpen() && !open(m_path))
        return false;
    return append(contents) && commit();
}

void WholeFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

bool WholeFile::fail(const std::string &why)
{
    m_reason = why;
    m_error = "cannot write " + (m_standardOutput ? std::string("standard output") : m_path) + ": "
        + why;
    discard();
    return false;
}
