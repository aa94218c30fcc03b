#pragma once

#include <string>
#include <string_view>

// An output file that appears whole or not at all. open() makes a temporary
// file beside the target, so that a path that cannot be written shows before
// a long run rather than after it; append() adds bytes to it as they come,
// every write checked; commit() flushes it to the disk and renames it over
// the target. On any failure the temporary file goes and the file that was
// there stays as it was. A symbolic link is followed, so the file it names is
// replaced, not the link. Something at the path that is not a regular file
// (a folder, a device, a FIFO) is refused. "-" is standard output, and an
// empty path is no output: every call then does nothing and succeeds.
// Plain C++ and POSIX, for the programs built without Qt.
class WholeFile
{
public:
    WholeFile() = default;
    ~WholeFile();
    WholeFile(const WholeFile &) = delete;
    WholeFile &operator=(const WholeFile &) = delete;

    bool open(const std::string &path);
    // Whether bytes are going somewhere: a temporary file or standard output.
    bool isOpen() const { return m_fd >= 0 || m_standardOutput; }
    bool append(std::string_view bytes);
    bool commit();
    // Opens again when the last contents were committed, appends, commits:
    // a file may be replaced more than once.
    bool write(std::string_view contents);
    // Drops the temporary file, leaving the target as it was; write() makes
    // a new one.
    void discard();

    const std::string &path() const { return m_path; }
    // "cannot write FILE: REASON", the reason in the system's words.
    const std::string &error() const { return m_error; }
    // The reason alone, for a message of another form.
    const std::string &reason() const { return m_reason; }

private:
    bool fail(const std::string &why);
    bool createTemporary();

    std::string m_path; // as given, for messages
    std::string m_target; // where it goes, links followed
    std::string m_temporary;
    int m_fd = -1;
    bool m_standardOutput = false;
    std::string m_reason;
    std::string m_error;
};
