#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

// Rows kept aside until a report's end, in the order they came: in memory,
// or in a temporary file of the system's, unlinked as it is made (it goes
// when it is closed or the program ends), so that the memory holds none of
// them.
class RowSpill
{
public:
    enum class Place { Memory, File };
    explicit RowSpill(Place place);
    ~RowSpill();
    RowSpill(const RowSpill &) = delete;
    RowSpill &operator=(const RowSpill &) = delete;

    // False once anything failed: error() says why.
    bool append(std::string_view rows);
    // Hands the rows over in pieces, in order.
    bool readBack(const std::function<void(std::string_view)> &out);
    const std::string &error() const { return m_error; }

private:
    bool fail(const std::string &what);

    std::FILE *m_file = nullptr;
    std::string m_rows; // when in memory
    std::string m_error;
};
