#pragma once

#include <string>
#include <string_view>

// Puts a file in place whole or not at all: the contents go to a temporary
// file beside it, are flushed to the disk and renamed over it only when every
// byte is there, so a reader never finds half a file and a failed write
// leaves the old one as it was. The temporary file is made by open(), so that
// a path that cannot be written is known before a long run rather than after
// it. Something at the path that is not a regular file is refused; a symbolic
// link is followed.
class FileReplacement
{
public:
    FileReplacement() = default;
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    bool open(const std::string &path);
    bool isOpen() const { return m_fd >= 0; }
    // Writes contents and renames the file into place; once only.
    bool commit(std::string_view contents);
    // Why open() or commit() failed, in the system's words, path included.
    const std::string &errorString() const { return m_errorString; }

private:
    bool fail(const std::string &why);
    void discard();

    int m_fd = -1;
    std::string m_name; // as given, for messages
    std::string m_path; // where it goes, links resolved
    std::string m_temporary;
    std::string m_errorString;
};
