#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string_view>

// Where the simulated converter's bytes go: a pseudo-terminal or a real
// serial device. Writes never block, so the writer can always notice a stop
// request.
class ByteSink
{
public:
    struct WriteResult
    {
        enum class Status {
            Written, // count bytes were taken (count may be less than offered)
            Full, // nothing taken; waitWritable() before trying again
            ReaderGone, // the other end is gone for good (EIO)
            Failed, // any other error; error holds errno
        };
        Status status = Status::Written;
        std::size_t count = 0;
        int error = 0;
    };

    virtual ~ByteSink() = default;

    virtual WriteResult write(std::string_view bytes) = 0;
    // Waits up to timeout for room to write.
    virtual void waitWritable(std::chrono::milliseconds timeout) = 0;
    // Whether someone has the receiving end open.
    virtual bool readerPresent() const = 0;
    // After the last write: waits until the receiving end has taken all the
    // bytes, for at most linger without progress, or until stop is set.
    virtual void waitDelivered(const std::atomic<bool> &stop, std::chrono::milliseconds linger) = 0;
};
