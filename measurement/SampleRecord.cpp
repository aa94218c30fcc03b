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
    return latest(m_size);
}

std::vector<std::uint16_t> SampleRecord::latest(std::size_t count) const
{
    count = std::min(count, m_size);
    // At most two runs of the ring: up to its end, then from its start.
    const std::size_t first = (m_next + m_codes.size() - count) % m_codes.size();
    const std::size_t head = std::min(count, m_codes.size() - first);
    std::vector<std::uint16_t> codes(m_codes.begin() + first, m_codes.begin() + first + head);
    codes.insert(codes.end(), m_codes.begin(), m_codes.begin() + (count - head));
    return codes;
}
