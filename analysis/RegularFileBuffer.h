#pragma once

#include <streambuf>
#include <string>
#include <vector>

// A regular file read through std::istream, for a file a user names on the
// command line. Anything else at the path (a folder, a FIFO, a device) is
// refused when opened, without opening it, so that it neither blocks nor
// wakes a device; a read that fails ends the stream and keeps the system's
// reason, where std::filebuf would throw.
class RegularFileBuffer : public std::streambuf
{
public:
    RegularFileBuffer() = default;
    ~RegularFileBuffer() override;
    RegularFileBuffer(const RegularFileBuffer &) = delete;
    RegularFileBuffer &operator=(const RegularFileBuffer &) = delete;

    // False with error() set when the path is not a regular file that can be
    // read.
    bool open(const std::string &path);
    // Why opening or a read failed, in the system's words; empty while all
    // is well.
    const std::string &error() const { return m_error; }

protected:
    int_type underflow() override;
    // A large read goes from the file straight into the caller's memory,
    // not through the buffer: a record is copied once, not twice.
    std::streamsize xsgetn(char_type *to, std::streamsize count) override;
    pos_type seekoff(
        off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    bool failWith(std::string reason);
    // read(2) until `count` bytes, the end or an error (kept in m_error).
    std::streamsize readFile(char *to, std::streamsize count);

    int m_fd = -1;
    std::vector<char> m_buffer;
    std::string m_error;
};
