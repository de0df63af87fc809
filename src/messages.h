// The tool's messages on standard error: one line each, names and values in
// quotes with their control characters escaped.
#pragma once

#include <string>
#include <string_view>

namespace gaussian_noise {

// `text` in single quotes, each control character and backslash written as a
// C escape sequence ("\n", "\t", "\\", "\033"), so that a message shows
// exactly what was given and stays on one line.
std::string quoted(std::string_view text);

// Writes "gaussian_noise: MESSAGE" and a line feed to standard error without
// allocating; nothing is left to tell when that fails.
void report(std::string_view message) noexcept;

// Reports "ACTION NAME: the system's reason for `error`".
void reportSystemError(std::string_view action, std::string_view name, int error);

}  // namespace gaussian_noise
