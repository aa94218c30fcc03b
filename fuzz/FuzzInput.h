#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads values off the fuzzer's bytes; once they run out, every read gives
// zeros and empty texts.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t *data, std::size_t size)
        : data_(data)
        , size_(size)
    {
    }

    bool empty() const { return position_ >= size_; }
    std::uint8_t byte() { return empty() ? 0 : data_[position_++]; }
    std::int16_t int16() { return std::int16_t(byte() | byte() << 8); }
    // A text of up to `maxLength` bytes, its length taken from the input.
    std::string text(std::size_t maxLength)
    {
        const std::size_t length = std::min<std::size_t>(byte() % (maxLength + 1), size_ - position_);
        std::string result(reinterpret_cast<const char *>(data_ + position_), length);
        position_ += length;
        return result;
    }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t position_ = 0;
};
