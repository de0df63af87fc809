// Reading the command line: options, the four run settings, --help and --version.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "cli/messages.h"
#include "cli/run_settings.h"

namespace gaussian_noise {

enum class Action { run, help, version, reject };

// The four values in the order they are given.
inline constexpr std::array<std::string_view, 4> valueNames = {"mean", "variance", "runs", "samples per run"};

struct CommandLine {
    Action action = Action::reject;
    RunSettings settings;  // filled when action is run
    Message error;         // why, when action is reject
    // When action is run: the four values as typed, and which of them were
    // not wholly a number (bit i for value i) and were read as far as they were.
    std::array<std::string_view, 4> values{};
    unsigned notNumbers = 0;
};

// Reads the arguments that follow the program name:
//   [OPTION]... MEAN VARIANCE RUNS SAMPLES
// Options may stand anywhere, as with GNU getopt, until "--", after which
// every argument is a value. An argument is an option when it begins with
// "--" and a name, or with '-' and a short option letter (-h, -o, -q, -s, -T);
// short options may be bundled (-qs 5) and carry their value (-s42, -o-). No
// number's text begins that way, so negative numbers are values, as is "-".
// The first four other arguments are the values; the rest are ignored. Help
// and version answer as soon as they are read. Mean and variance are read
// like atof, the counts like atoi. Rejected: an unknown or malformed option,
// a bad seed or thread count, an empty output name, an unknown format, --lossless with a
// binary format, fewer than four values, a negative or not-a-number
// variance, and a count outside the signed 32-bit range. Without --output
// the table goes to the default name of its format. Needs no heap.
CommandLine parseCommandLine(std::span<char* const> arguments);

// Warns on standard error of each value that was not wholly a number, and
// what it was read as.
void warnOfNotNumbers(const CommandLine& line) noexcept;

}  // namespace gaussian_noise
