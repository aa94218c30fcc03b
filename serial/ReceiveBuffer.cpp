#include "ReceiveBuffer.h"

#include <algorithm>
#include <cstring>

void ReceiveBuffer::setCapacity(std::size_t characters)
{
    m_capacity = std::max<std::size_t>(characters, 1);
    const std::size_t held = size();
    if (held > 0)
        std::memmove(m_storage.data(), m_storage.data() + m_begin, held);
    m_begin = 0;
    m_end = held;
    m_storage.resize(std::max(m_capacity, held));
}

std::span<char> ReceiveBuffer::room(std::size_t limit)
{
    const std::size_t wanted = std::min(limit, m_capacity - std::min(m_capacity, size()));
    if (empty())
        clear();
    else if (m_storage.size() - m_end < wanted) {
        // Moving what is left to the front is cheap: it happens at most once
        // per block read, and the loop has usually read nearly all of it.
        std::memmove(m_storage.data(), m_storage.data() + m_begin, size());
        m_end -= m_begin;
        m_begin = 0;
    }
    return {m_storage.data() + m_end, wanted};
}

void ReceiveBuffer::commit(std::size_t count, bool dropNul)
{
    char *const first = m_storage.data() + m_end;
    if (dropNul)
        count = static_cast<std::size_t>(std::remove(first, first + count, '\0') - first);
    m_end += count;
}
