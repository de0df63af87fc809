#include "messages.h"

#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "block_writer.h"

namespace gaussian_noise {

std::string quoted(std::string_view text) {
    std::string result(1, '\'');
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F && c != '\\') {
            result += c;
            continue;
        }
        result += '\\';
        switch (c) {
            case '\\':
                result += '\\';
                break;
            case '\a':
                result += 'a';
                break;
            case '\b':
                result += 'b';
                break;
            case '\t':
                result += 't';
                break;
            case '\n':
                result += 'n';
                break;
            case '\v':
                result += 'v';
                break;
            case '\f':
                result += 'f';
                break;
            case '\r':
                result += 'r';
                break;
            default:
                result += static_cast<char>('0' + (byte >> 6U));
                result += static_cast<char>('0' + ((byte >> 3U) & 7U));
                result += static_cast<char>('0' + (byte & 7U));
        }
    }
    result += '\'';
    return result;
}

void report(std::string_view message) noexcept {
    constexpr std::string_view prefix = "gaussian_noise: ";
    std::array<iovec, 3> parts{{{const_cast<char*>(prefix.data()), prefix.size()},
                                {const_cast<char*>(message.data()), message.size()},
                                {const_cast<char*>("\n"), 1}}};
    ssize_t written = ::writev(STDERR_FILENO, parts.data(), static_cast<int>(parts.size()));
    if (written < 0) written = 0;  // tried once more below, part by part
    // What a short write left, written on as the table is.
    for (const iovec& part : parts) {
        const auto size = static_cast<ssize_t>(part.iov_len);
        if (written < size &&
            writeAll(STDERR_FILENO, std::string_view(static_cast<const char*>(part.iov_base) + written,
                                                     part.iov_len - static_cast<std::size_t>(written))) != 0) {
            return;
        }
        written = written > size ? written - size : 0;
    }
}

void reportSystemError(std::string_view action, std::string_view name, int error) {
    report(std::string(action) + " " + std::string(name) + ": " + std::strerror(error));
}

}  // namespace gaussian_noise
