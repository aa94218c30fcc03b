#include "SampleRecord.h"

#include <algorithm>

SampleRecord::SampleRecord(std::size_t capacity)
    : m_codes(std::max<std::size_t>(capacity, 1))
{ }

void SampleRecord::clear()
{
    m_next = 0;
    m_size = 0;
    m_appended = 0;
}

void SampleRecord::setCapacity(std::size_t capacity)
{
    m_codes.assign(std::max<std::size_t>(capacity, 1), 0);
    clear();
}

std::vector<std::uint16_t> SampleRecord::inOrder() const
{
    std::vector<std::uint16_t> codes;
    codes.reserve(m_size);
    const std::size_t first = (m_next + m_codes.size() - m_size) % m_codes.size();
    for (std::size_t i = 0; i < m_size; ++i)
        codes.push_back(m_codes[(first + i) % m_codes.size()]);
    return codes;
}
