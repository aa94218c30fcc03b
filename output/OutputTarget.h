#pragma once

#include <span>
#include <string>
#include <string_view>

// Where an output path leads, so that two options naming one file (through
// ".", "..", symbolic or hard links) are refused before either is written:
// the second would silently replace the first. Plain C++ and POSIX.

// Follows the symbolic links at `path` to the name of what is there, or of
// what a dangling link would make; false with errno set on a loop or an
// unreadable link.
bool followLinks(const std::string &path, std::string &target);

// Whether two paths lead to one file: the same device and inode when both
// exist, else the same canonical folder and name. Empty paths and "-"
// (standard output) lead to no file.
bool sameOutputTarget(const std::string &first, const std::string &second);

// An option and the path it names, such as {"--csv", "out.csv"}.
struct NamedPath
{
    std::string_view option;
    std::string path;
};

// Why these paths cannot all be written: "--csv and --json: a.csv and
// ./a.csv lead to one file", or two of them on standard output. Empty when
// they can.
std::string outputClash(std::span<const NamedPath> paths);
