#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

// Reads values off the fuzzer's bytes; once they run out, every read gives
// zeros and empty texts.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t *data, std::size_t size)
        : m_data(data)
        , m_size(size)
    { }

    bool empty() const { return m_position >= m_size; }
    std::uint8_t byte() { return empty() ? 0 : m_data[m_position++]; }
    std::int16_t int16() { return std::int16_t(byte() | byte() << 8); }
    // A text of up to `maxLength` bytes, its length taken from the input.
    std::string text(std::size_t maxLength)
    {
        const std::size_t length
            = std::min<std::size_t>(byte() % (maxLength + 1), m_size - m_position);
        std::string result(reinterpret_cast<const char *>(m_data + m_position), length);
        m_position += length;
        return result;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};
