#include "command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

namespace gaussian_noise {

const std::string_view usageText = "usage: gaussian_noise MEAN VARIANCE RUNS SAMPLES (or --help)";

const std::string_view helpText =
    "Usage: gaussian_noise MEAN VARIANCE RUNS SAMPLES\n"
    "\n"
    "Writes a table of Gaussian pseudo-random noise to generated_noise.csv in the\n"
    "current directory, replacing what the file held, and echoes the four\n"
    "settings on standard output.\n"
    "\n"
    "  MEAN      centre of the distribution (a real number)\n"
    "  VARIANCE  spread of the distribution (a real number, 0 or more)\n"
    "  RUNS      rows of the table (an integer; 0 or less leaves the file empty)\n"
    "  SAMPLES   cells per row (an integer; 0 or less leaves the rows empty)\n"
    "\n"
    "Each cell holds one sample with six significant digits, as printf's %g\n"
    "writes it, followed by a comma. Rows are separated by a line feed; the\n"
    "file does not end with one. The generator is seeded from the clock in\n"
    "whole seconds, so runs started in the same second write the same table.\n"
    "\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 if writing standard output or the file\n"
    "fails, 2 if the command line is rejected.\n";

namespace {

// Rounds to the nearest float; values beyond its range become infinite.
float toFloat(double value) {
    constexpr double overflow = 0x1.ffffffp127;  // halfway between FLT_MAX and 2^128
    constexpr float infinity = std::numeric_limits<float>::infinity();
    if (std::fabs(value) >= overflow) return value < 0 ? -infinity : infinity;
    return static_cast<float>(value);
}

// Reads a count like atoi: white space, a sign, digits up to the first other
// character, 0 when there are none. Empty when the digits lie outside the
// signed 32-bit range.
std::optional<std::int32_t> readCount(const char* text) {
    errno = 0;
    const long value = std::strtol(text, nullptr, 10);
    if (errno == ERANGE || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::string quoted(std::string_view text) {
    std::string result(1, '\'');
    result += text;
    result += '\'';
    return result;
}

std::string countOutOfRange(std::string_view name, std::string_view text) {
    return "number of " + std::string(name) + " must lie between -2147483648 and 2147483647, not " + quoted(text);
}

}  // namespace

CommandLine parseCommandLine(std::span<char* const> arguments) {
    CommandLine line;
    if (arguments.size() == 1) {
        const std::string_view only = arguments[0];
        if (only == "-h" || only == "--help") {
            line.action = Action::help;
            return line;
        }
        if (only == "--version") {
            line.action = Action::version;
            return line;
        }
    }
    if (arguments.size() < 4) {
        line.error = std::string(usageText);
        return line;
    }

    RunSettings& settings = line.settings;
    settings.mean = toFloat(std::strtod(arguments[0], nullptr));
    settings.variance = toFloat(std::strtod(arguments[1], nullptr));
    if (std::isnan(settings.variance) || settings.variance < 0.0F) {
        line.error = "variance must be a number of 0 or more, not " + quoted(arguments[1]);
        return line;
    }
    const std::optional<std::int32_t> runs = readCount(arguments[2]);
    if (!runs) {
        line.error = countOutOfRange("runs", arguments[2]);
        return line;
    }
    const std::optional<std::int32_t> samplesPerRun = readCount(arguments[3]);
    if (!samplesPerRun) {
        line.error = countOutOfRange("samples per run", arguments[3]);
        return line;
    }
    settings.runs = *runs;
    settings.samplesPerRun = *samplesPerRun;
    line.action = Action::run;
    return line;
}

}  // namespace gaussian_noise
