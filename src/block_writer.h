// Output in large blocks: a fixed buffer handed to the system one write at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace gaussian_noise {

// Writes all of `data` to the file descriptor, retrying short writes and
// interrupted calls. Returns 0, or the errno of the failure.
int writeAll(int fd, std::string_view data) noexcept;

// Collects text in a caller's buffer and writes it out whenever it fills.
// After the first failed write it keeps the errno and writes nothing more.
class BlockWriter {
public:
    BlockWriter(int fd, std::span<char> buffer) noexcept
        : fd_(fd), begin_(buffer.data()), end_(buffer.data()), limit_(buffer.data() + buffer.size()) {}

    // Makes room for `size` more bytes, flushing first when the buffer is too
    // full. False when that flush fails, and false at once, flushing nothing,
    // when `size` is more than the whole buffer: error() then stays 0, for no
    // write failed; the caller asked for more than it can ever get.
    bool makeRoom(std::size_t size) noexcept {
        if (static_cast<std::size_t>(limit_ - end_) >= size) return true;
        return size <= static_cast<std::size_t>(limit_ - begin_) && flush();
    }
    // Where the next byte goes; text written there is kept by advance().
    [[nodiscard]] char* end() const noexcept { return end_; }
    void advance(char* newEnd) noexcept { end_ = newEnd; }

    // Writes out what the buffer holds. False once a write has failed.
    bool flush() noexcept;
    // Writes out what the buffer holds, then `text` straight from where it
    // lies. False once a write has failed.
    bool writeThrough(std::string_view text) noexcept;
    // The errno of the failed write, or 0.
    [[nodiscard]] int error() const noexcept { return error_; }
    // How many bytes were handed over so far, written or still buffered.
    [[nodiscard]] std::uint64_t size() const noexcept { return flushed_ + static_cast<std::uint64_t>(end_ - begin_); }

private:
    int fd_;
    int error_ = 0;
    std::uint64_t flushed_ = 0;
    char* begin_;
    char* end_;
    char* limit_;
};

}  // namespace gaussian_noise
