#include "OutputTarget.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The canonical form of an existing path; empty when it cannot be had.
std::string realPath(const std::string &path)
{
    const std::unique_ptr<char, decltype(&std::free)> real(
        ::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// Where a path leads: the canonical path of the file when it exists, else
// the canonical folder it would be made in and its name.
std::string canonicalTarget(const std::string &path)
{
    std::string target;
    if (!followLinks(path, target))
        return path;
    if (std::string real = realPath(target); !real.empty())
        return real;
    const std::size_t slash = target.rfind('/');
    const std::string folder
        = realPath(slash == std::string::npos ? "." : target.substr(0, slash + 1));
    if (folder.empty())
        return target;
    return folder + (folder.back() == '/' ? "" : "/") + target.substr(slash + 1);
}

} // namespace

bool followLinks(const std::string &path, std::string &target)
{
    target = path;
    struct stat status
    { };
    for (int depth = 0; ::lstat(target.c_str(), &status) == 0 && S_ISLNK(status.st_mode); ++depth) {
        if (depth == 40) {
            errno = ELOOP;
            return false;
        }
        std::string named(PATH_MAX, '\0');
        const ssize_t length = ::readlink(target.c_str(), named.data(), named.size());
        if (length <= 0)
            return false;
        if (std::size_t(length) == named.size()) {
            errno = ENAMETOOLONG;
            return false;
        }
        named.resize(std::size_t(length));
        // A relative link is read from the folder the link is in.
        const std::size_t slash = target.rfind('/');
        target = named.front() == '/' || slash == std::string::npos
            ? named
            : target.substr(0, slash + 1) + named;
    }
    return true;
}

bool sameOutputTarget(const std::string &first, const std::string &second)
{
    if (first.empty() || second.empty() || first == "-" || second == "-")
        return false;
    struct stat a
    { };
    struct stat b
    { };
    if (::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0)
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    return canonicalTarget(first) == canonicalTarget(second);
}

std::string outputClash(std::span<const NamedPath> paths)
{
    int toStandardOutput = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (paths[i].path == "-" && ++toStandardOutput > 1)
            return "only one output can go to standard output (-)";
        for (std::size_t j = i + 1; j < paths.size(); ++j) {
            if (sameOutputTarget(paths[i].path, paths[j].path))
                return std::string(paths[i].option) + " and " + std::string(paths[j].option) + ": "
                    + paths[i].path + " and " + paths[j].path + " lead to one file";
        }
    }
    return {};
}
