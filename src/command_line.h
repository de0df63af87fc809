// Reading the command line: options, the four run settings, --help and --version.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "run_settings.h"

namespace gaussian_noise {

enum class Action { run, help, version, reject };

struct CommandLine {
    Action action = Action::reject;
    RunSettings settings;  // filled when action is run
    std::string error;     // why, when action is reject
};

// Reads the arguments that follow the program name:
//   [OPTION]... MEAN VARIANCE RUNS SAMPLES
// An argument is an option when it begins with "--" (but is not "--", which
// ends the options) or is exactly -h, -o, -q, -s or -T; the first other argument
// starts the four values, so negative numbers are values. Help and version
// answer as soon as they are read. Mean and variance are read like atof, the
// counts like atoi; arguments after the fourth value are ignored. Rejected:
// an unknown or malformed option, a bad seed or thread count, an empty output name, fewer
// than four values, a negative or not-a-number variance, and a count outside
// the signed 32-bit range.
CommandLine parseCommandLine(std::span<char* const> arguments);

extern const std::string_view usageText;
extern const std::string_view helpText;

}  // namespace gaussian_noise
