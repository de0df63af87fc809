#include "block_writer.h"

#include <unistd.h>

#include <cerrno>

namespace gaussian_noise {

int writeAll(int fd, std::string_view data) noexcept {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

bool BlockWriter::flush() noexcept {
    if (error_ == 0) {
        const auto pending = static_cast<std::size_t>(end_ - begin_);
        error_ = writeAll(fd_, std::string_view(begin_, pending));
        flushed_ += pending;
        end_ = begin_;
    }
    return error_ == 0;
}

bool BlockWriter::writeThrough(std::string_view text) noexcept {
    if (!flush()) return false;
    error_ = writeAll(fd_, text);
    flushed_ += text.size();
    return error_ == 0;
}

}  // namespace gaussian_noise
