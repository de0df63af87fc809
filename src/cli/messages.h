// The tool's messages on standard error: one line each, names and values in
// quotes with their control characters escaped, built without the heap so
// that a run can report even when no memory is left.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "function_ref.h"

namespace gaussian_noise {

// The name the tool goes by in its messages, its progress line and --version.
inline constexpr std::string_view programName = "gaussian_noise";

// A message being built: plain text, quoted text and numbers appended in
// place. Past its room the text is cut and ends with "...".
class Message {
public:
    Message() = default;
    // NOLINTNEXTLINE(google-explicit-constructor): a message is often plain text
    Message(std::string_view text) noexcept { *this += text; }  // cppcheck-suppress noExplicitConstructor
    // NOLINTNEXTLINE(google-explicit-constructor)
    Message(const char* text) noexcept : Message(std::string_view(text)) {}  // cppcheck-suppress noExplicitConstructor

    Message& operator+=(std::string_view text) noexcept;
    // `text` in single quotes, each control character and backslash written
    // as a C escape sequence ("\n", "\t", "\\", "\033"), so that a message
    // shows exactly what was given and stays on one line.
    Message& quote(std::string_view text) noexcept;
    Message& number(long long value) noexcept;
    Message& unsignedNumber(unsigned long long value) noexcept;
    // `value` as the echo writes it: six significant digits, as printf's %g.
    Message& general(float value) noexcept;

    [[nodiscard]] std::string_view text() const noexcept { return {text_.data(), size_}; }
    [[nodiscard]] bool empty() const noexcept { return size_ == 0; }

private:
    void append(char c) noexcept;

    static constexpr std::size_t room = 4096;
    std::array<char, room> text_{};
    std::size_t size_ = 0;
    bool cut_ = false;
};

// Writes "gaussian_noise: MESSAGE" and a line feed to standard error in one
// write; nothing is left to tell when that fails.
void report(const Message& message) noexcept;

// Reports "gaussian_noise: warning: MESSAGE".
void warn(const Message& message) noexcept;

// Takes what report() and warn() would write, without the program's name:
// the kind ("" or "warning: ") and the message.
using ReportSink = FunctionRef<void(std::string_view kind, std::string_view message)>;
// Sends reports and warnings to `sink` instead of standard error, until
// called again with an empty one: for the Python module, which raises them.
void redirectReports(ReportSink sink) noexcept;

// "ACTION NAME: the system's reason for `error`".
Message systemErrorMessage(std::string_view action, const Message& name, int error) noexcept;

// Reports systemErrorMessage(action, name, error).
void reportSystemError(std::string_view action, const Message& name, int error) noexcept;

}  // namespace gaussian_noise
