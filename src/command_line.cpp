#include "command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

namespace gaussian_noise {

const std::string_view usageText = "usage: gaussian_noise MEAN VARIANCE RUNS SAMPLES (or --help)";

const std::string_view helpText =
    "Usage: gaussian_noise [OPTION]... MEAN VARIANCE RUNS SAMPLES\n"
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
    "Options come before the four values; \"--\" ends them.\n"
    "  -s, --seed=N       seed the generator with N (0 to 4294967295) instead of\n"
    "                     the clock: the table for seed N is the table of a run\n"
    "                     started at second N. The C library treats seeds 0 and 1\n"
    "                     alike. --seed=$(date +%s) does what the default does\n"
    "                     and records the seed.\n"
    "  -o, --output=FILE  write the table to FILE instead; - writes it to\n"
    "                     standard output and the echo to standard error\n"
    "  -q, --quiet        do not echo the settings\n"
    "      --lossless     write each sample as the shortest text that reads back\n"
    "                     as exactly the same single-precision value\n"
    "      --progress     report progress on standard error\n"
    "  -T, --threads=N    draw the table with N threads (0 to 256; 0 means one\n"
    "                     per processor the tool may run on; default 1). The\n"
    "                     table is the same for every N. Where rand() is not\n"
    "                     glibc's sequence, one thread draws from rand() itself.\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 if writing standard output or the file\n"
    "fails, 2 if the command line is rejected.\n";

namespace {

std::string quoted(std::string_view text) {
    std::string result(1, '\'');
    result += text;
    result += '\'';
    return result;
}

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

// Reads a whole number of decimal digits only, 0 to `largest`.
std::optional<std::uint32_t> readWholeNumber(std::string_view text, std::uint32_t largest) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > largest) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::string countOutOfRange(std::string_view name, std::string_view text) {
    return "number of " + std::string(name) + " must lie between -2147483648 and 2147483647, not " + quoted(text);
}

enum class Option { help, version, seed, output, quiet, lossless, progress, threads };

struct OptionName {
    std::string_view longName;
    char shortName;  // 0 when there is none
    bool takesValue;
    Option option;
};

constexpr OptionName optionNames[] = {
    {"help", 'h', false, Option::help},       {"version", 0, false, Option::version},
    {"seed", 's', true, Option::seed},        {"output", 'o', true, Option::output},
    {"quiet", 'q', false, Option::quiet},     {"lossless", 0, false, Option::lossless},
    {"progress", 0, false, Option::progress}, {"threads", 'T', true, Option::threads},
};

bool isOption(std::string_view word) {
    if (word.size() > 2 && word.substr(0, 2) == "--") return true;
    return word.size() == 2 && word[0] == '-' &&
           std::any_of(std::begin(optionNames), std::end(optionNames),
                       [&](const OptionName& name) { return name.shortName != 0 && name.shortName == word[1]; });
}

const OptionName* findOption(std::string_view word) {
    const auto* const found = std::find_if(std::begin(optionNames), std::end(optionNames), [&](const OptionName& name) {
        return word.substr(0, 2) == "--" ? word.substr(2) == name.longName : word[1] == name.shortName;
    });
    return found == std::end(optionNames) ? nullptr : found;
}

CommandLine rejected(std::string error) {
    CommandLine line;
    line.error = std::move(error);
    return line;
}

}  // namespace

CommandLine parseCommandLine(std::span<char* const> arguments) {
    CommandLine line;
    RunSettings& settings = line.settings;

    std::size_t next = 0;
    while (next < arguments.size()) {
        const std::string_view word = arguments[next];
        if (word == "--") {
            ++next;
            break;
        }
        if (!isOption(word)) break;
        ++next;
        // A long option's value may follow an '=' in the same argument.
        const std::size_t equals = word.substr(0, 2) == "--" ? word.find('=') : std::string_view::npos;
        const std::string_view typed = word.substr(0, equals);
        const OptionName* name = findOption(typed);
        if (name == nullptr) return rejected("unknown option " + quoted(word) + "; " + std::string(usageText));
        std::string_view value;
        if (equals != std::string_view::npos) {
            if (!name->takesValue) return rejected("option " + quoted(typed) + " takes no value");
            value = word.substr(equals + 1);
        } else if (name->takesValue) {
            if (next == arguments.size()) return rejected("option " + quoted(typed) + " needs a value");
            value = arguments[next++];
        }
        switch (name->option) {
            case Option::help:
                line.action = Action::help;
                return line;
            case Option::version:
                line.action = Action::version;
                return line;
            case Option::seed:
                settings.seed = readWholeNumber(value, std::numeric_limits<std::uint32_t>::max());
                if (!settings.seed) {
                    return rejected("seed must be a whole number from 0 to 4294967295, not " + quoted(value));
                }
                break;
            case Option::output:
                if (value.empty()) return rejected("option " + quoted(typed) + " needs a file name, not ''");
                settings.output = value;
                break;
            case Option::quiet:
                settings.quiet = true;
                break;
            case Option::lossless:
                settings.cellText = CellText::lossless;
                break;
            case Option::progress:
                settings.progress = true;
                break;
            case Option::threads:
                if (const std::optional<std::uint32_t> threads = readWholeNumber(value, maxThreads)) {
                    settings.threads = *threads;
                } else {
                    return rejected("threads must be a whole number from 0 to " + std::to_string(maxThreads) +
                                    ", not " + quoted(value));
                }
                break;
        }
    }

    const std::span<char* const> values = arguments.subspan(next);
    if (values.size() < 4) return rejected(std::string(usageText));
    settings.mean = toFloat(std::strtod(values[0], nullptr));
    settings.variance = toFloat(std::strtod(values[1], nullptr));
    if (std::isnan(settings.variance) || settings.variance < 0.0F) {
        return rejected("variance must be a number of 0 or more, not " + quoted(values[1]));
    }
    const std::optional<std::int32_t> runs = readCount(values[2]);
    if (!runs) return rejected(countOutOfRange("runs", values[2]));
    const std::optional<std::int32_t> samplesPerRun = readCount(values[3]);
    if (!samplesPerRun) return rejected(countOutOfRange("samples per run", values[3]));
    settings.runs = *runs;
    settings.samplesPerRun = *samplesPerRun;
    line.action = Action::run;
    return line;
}

}  // namespace gaussian_noise
