#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The most recent readings in the order they arrived, two bytes each, in a
// ring of fixed capacity allocated once: a run of any length costs no more
// memory, and the oldest readings make room for new ones.
class SampleRecord
{
public:
    static constexpr std::size_t defaultCapacity = std::size_t(1) << 20;

    explicit SampleRecord(std::size_t capacity = defaultCapacity);

    // Keeps a reading; the oldest goes when the ring is full.
    void append(std::uint16_t code)
    {
        m_codes[m_next] = code;
        if (++m_next == m_codes.size())
            m_next = 0;
        if (m_size < m_codes.size())
            ++m_size;
        ++m_appended;
    }
    // Starts a new record (START, RESET).
    void clear();
    // A new capacity starts a new record.
    void setCapacity(std::size_t capacity);

    std::size_t capacity() const { return m_codes.size(); }
    std::size_t size() const { return m_size; }
    // Readings appended since the record began, including those overwritten.
    std::uint64_t appended() const { return m_appended; }
    // The readings held, oldest first.
    std::vector<std::uint16_t> inOrder() const;
    // The newest `count` readings held (all of them when fewer), oldest
    // first: what a view of the recent signal copies without the whole ring.
    std::vector<std::uint16_t> latest(std::size_t count) const;

private:
    std::vector<std::uint16_t> m_codes;
    std::size_t m_next = 0;
    std::size_t m_size = 0;
    std::uint64_t m_appended = 0;
};
