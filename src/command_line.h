// Reading the command line: the four run settings, --help and --version.
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

// Reads the arguments that follow the program name. Mean and variance are
// read like atof, the counts like atoi; arguments after the fourth are
// ignored. Rejected: fewer than four arguments, a negative or not-a-number
// variance, and a count outside the signed 32-bit range.
CommandLine parseCommandLine(std::span<char* const> arguments);

extern const std::string_view usageText;
extern const std::string_view helpText;

}  // namespace gaussian_noise
