#include "SlaveLink.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string linkTarget(const std::string &path)
{
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target);
    return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

} // namespace

SlaveLink::~SlaveLink()
{
    if (!m_linkPath.empty() && linkTarget(m_linkPath) == m_target)
        unlink(m_linkPath.c_str());
}

bool SlaveLink::create(const std::string &linkPath, const std::string &target)
{
    struct stat existing;
    if (lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        m_errorString = linkPath + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    // Made under a temporary name and renamed over the old link, so a reader
    // never finds the name missing or half made.
    const std::string temporary = linkPath + ".adsim-" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0
        || std::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        m_errorString = "cannot link " + linkPath + " to " + target + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    m_linkPath = linkPath;
    m_target = target;
    return true;
}
