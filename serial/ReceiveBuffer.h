#pragma once

#include <cstddef>
#include <span>
#include <vector>

// Characters received from a port and not yet read, oldest first, never more
// than a set bound. The port is read in blocks straight into its free room.
class ReceiveBuffer
{
public:
    explicit ReceiveBuffer(std::size_t capacity = 4096) { setCapacity(capacity); }

    // Never less than one character.
    void setCapacity(std::size_t characters);
    std::size_t capacity() const { return m_capacity; }

    std::size_t size() const { return m_end - m_begin; }
    bool empty() const { return m_begin == m_end; }
    bool full() const { return size() >= m_capacity; }
    // The oldest character; only called when not empty.
    char pop() { return m_storage[m_begin++]; }
    void clear() { m_begin = m_end = 0; }

    // Contiguous room for up to `limit` more characters, within the bound.
    std::span<char> room(std::size_t limit);
    // Keeps the first `count` characters written into room(), without the
    // NUL characters when `dropNul` is set.
    void commit(std::size_t count, bool dropNul);

private:
    std::vector<char> m_storage;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::size_t m_capacity = 1;
};
