#include "cli/messages.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>

#include "io/output.h"
#include "text/number_text.h"

namespace gaussian_noise {

void Message::append(char c) noexcept {
    constexpr std::string_view ellipsis = "...";
    if (cut_) return;
    if (size_ + ellipsis.size() < room) {
        text_[size_++] = c;
        return;
    }
    for (const char mark : ellipsis) text_[size_++] = mark;
    cut_ = true;
}

Message& Message::operator+=(std::string_view text) noexcept {
    for (const char c : text) append(c);
    return *this;
}

Message& Message::quote(std::string_view text) noexcept {
    append('\'');
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F && c != '\\') {
            append(c);
            continue;
        }
        append('\\');
        switch (c) {
            case '\\':
                append('\\');
                break;
            case '\a':
                append('a');
                break;
            case '\b':
                append('b');
                break;
            case '\t':
                append('t');
                break;
            case '\n':
                append('n');
                break;
            case '\v':
                append('v');
                break;
            case '\f':
                append('f');
                break;
            case '\r':
                append('r');
                break;
            default:
                append(static_cast<char>('0' + (byte >> 6U)));
                append(static_cast<char>('0' + ((byte >> 3U) & 7U)));
                append(static_cast<char>('0' + (byte & 7U)));
        }
    }
    append('\'');
    return *this;
}

namespace {

template <class Integer>
Message& appendDecimal(Message& message, Integer value) noexcept {
    std::array<char, 24> digits{};
    const auto [end, error] = std::to_chars(digits.begin(), digits.end(), value);
    return message += std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data()));
}

}  // namespace

Message& Message::number(long long value) noexcept { return appendDecimal(*this, value); }
Message& Message::unsignedNumber(unsigned long long value) noexcept { return appendDecimal(*this, value); }

Message& Message::general(float value) noexcept {
    // As the table's cells: the tool's own text in the rounding it is proven
    // in, printf's in any other.
    std::array<char, generalRoom> digits{};
    const char* end = ownTextServes() ? writeGeneral(digits.data(), value) : writeGeneralByPrintf(digits.data(), value);
    return *this += std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data()));
}

namespace {

ReportSink reportSink;

// One write, so that the line cannot be torn apart by another process's output.
void writeLine(std::string_view kind, const Message& message) noexcept {
    if (reportSink) {
        reportSink(kind, message.text());
        return;
    }
    std::array<char, 4200> line{};
    char* end = std::copy(programName.begin(), programName.end(), line.begin());
    end = std::copy_n(": ", 2, end);
    end = std::copy(kind.begin(), kind.end(), end);
    const std::string_view text = message.text();
    end = std::copy(text.begin(), text.end(), end);
    *end++ = '\n';
    (void)writeAllNoSignal(STDERR_FILENO, std::string_view(line.data(), static_cast<std::size_t>(end - line.data())));
}

}  // namespace

void redirectReports(ReportSink sink) noexcept { reportSink = sink; }

void report(const Message& message) noexcept { writeLine({}, message); }

void warn(const Message& message) noexcept { writeLine("warning: ", message); }

Message systemErrorMessage(std::string_view action, const Message& name, int error) noexcept {
    Message message(action);
    message += " ";
    message += name.text();
    message += ": ";
    message += std::strerror(error);
    return message;
}

void reportSystemError(std::string_view action, const Message& name, int error) noexcept {
    report(systemErrorMessage(action, name, error));
}

}  // namespace gaussian_noise
