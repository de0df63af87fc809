#include "messages.h"

#include <unistd.h>

#include <algorithm>
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
    // One write where the line fits the buffer, so that it cannot be torn
    // apart by another process's output; a longer one (a long file name)
    // in three.
    std::array<char, 4096> line{};
    if (prefix.size() + message.size() < line.size()) {
        char* end = std::copy(prefix.begin(), prefix.end(), line.begin());
        end = std::copy(message.begin(), message.end(), end);
        *end++ = '\n';
        (void)writeAll(STDERR_FILENO, std::string_view(line.data(), static_cast<std::size_t>(end - line.data())));
        return;
    }
    (void)(writeAll(STDERR_FILENO, prefix) == 0 && writeAll(STDERR_FILENO, message) == 0 &&
           writeAll(STDERR_FILENO, "\n") == 0);
}

void reportSystemError(std::string_view action, std::string_view name, int error) {
    report(std::string(action) + " " + std::string(name) + ": " + std::strerror(error));
}

}  // namespace gaussian_noise
