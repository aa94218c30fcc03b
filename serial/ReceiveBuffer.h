#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>
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
    // Every character held, oldest first; valid until the next change.
    std::string_view held() const { return {m_storage.data() + m_begin, size()}; }
    // Drops the `count` oldest characters (no more than are held).
    void drop(std::size_t count) { m_begin += std::min(count, size()); }
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
