#include "RowSpill.h"

#include <cerrno>
#include <cstring>
#include <vector>

RowSpill::RowSpill(Place place)
{
    if (place == Place::File) {
        errno = 0;
        m_file = std::tmpfile();
        if (!m_file)
            fail("cannot make a temporary file");
    }
}

RowSpill::~RowSpill()
{
    if (m_file)
        std::fclose(m_file);
}

bool RowSpill::append(std::string_view rows)
{
    if (!m_error.empty())
        return false;
    if (!m_file) {
        m_rows += rows;
        return true;
    }
    errno = 0;
    if (std::fwrite(rows.data(), 1, rows.size(), m_file) != rows.size())
        return fail("cannot write a temporary file");
    return true;
}

bool RowSpill::readBack(const std::function<void(std::string_view)> &out)
{
    if (!m_error.empty())
        return false;
    if (!m_file) {
        out(m_rows);
        return true;
    }
    // The rows written must be on the file before they are read: a full
    // disk may only show here.
    errno = 0;
    if (std::fflush(m_file) != 0)
        return fail("cannot write a temporary file");
    std::rewind(m_file);
    std::vector<char> piece(1 << 16);
    std::size_t count = 0;
    while ((count = std::fread(piece.data(), 1, piece.size(), m_file)) > 0)
        out(std::string_view(piece.data(), count));
    if (std::ferror(m_file))
        return fail("cannot read a temporary file");
    return true;
}

bool RowSpill::fail(const std::string &what)
{
    if (m_error.empty())
        m_error = errno != 0 ? what + ": " + std::strerror(errno) : what;
    return false;
}
