#include "cli/command_line.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

#include "cli/messages.h"
#include "io/output.h"

namespace gaussian_noise {

namespace {

constexpr std::string_view usageText = "usage: gaussian_noise MEAN VARIANCE RUNS SAMPLES (or --help)";

// Whether the C library's reading of `text` stopped at its end, having read
// a number: white space before it is skipped, none after it.
bool readWholly(const char* text, const char* end) { return end != text && *end == '\0'; }

// Rounds to the nearest float; values beyond its range become infinite.
float toFloat(double value) {
    constexpr double overflow = 0x1.ffffffp127;  // halfway between FLT_MAX and 2^128
    constexpr float infinity = std::numeric_limits<float>::infinity();
    if (std::fabs(value) >= overflow) return value < 0 ? -infinity : infinity;
    return static_cast<float>(value);
}

// Reads a real value like atof, rounded to the nearest float; `whole` says
// whether all of the text was a number.
float readReal(const char* text, bool& whole) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    whole = readWholly(text, end);
    return toFloat(value);
}

// Reads a count like atoi: white space, a sign, digits up to the first other
// character, 0 when there are none; `whole` says whether that was all of the
// text. Empty when the digits lie outside the signed 32-bit range.
std::optional<std::int32_t> readCount(const char* text, bool& whole) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    whole = readWholly(text, end);
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

// Reads "K/N" with 1 <= K <= N.
std::optional<Rows> readPart(std::string_view text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    constexpr std::uint32_t largest = std::numeric_limits<std::uint32_t>::max();
    const std::optional<std::uint32_t> part = readWholeNumber(text.substr(0, slash), largest);
    const std::optional<std::uint32_t> parts = readWholeNumber(text.substr(slash + 1), largest);
    if (!part || !parts || *part < 1 || *part > *parts) return std::nullopt;
    return Rows{Rows::Kind::part, *part, *parts};
}

// Reads "FIRST-LAST" or "FIRST-" with 1 <= FIRST <= LAST; LAST is 0 for the
// table's end, which is not known yet.
std::optional<Rows> readRows(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    constexpr std::uint32_t largest = std::numeric_limits<std::int32_t>::max();
    const std::optional<std::uint32_t> first = readWholeNumber(text.substr(0, dash), largest);
    const std::string_view lastText = text.substr(dash + 1);
    // An empty LAST is the table's end (0 until the table is known); a
    // LAST written as 0 is no row at all.
    const std::optional<std::uint32_t> last = lastText.empty() ? 0 : readWholeNumber(lastText, largest);
    if (!first || !last || *first < 1 || (!lastText.empty() && *last < *first)) return std::nullopt;
    Rows rows;
    rows.kind = Rows::Kind::range;
    rows.first = *first;
    rows.last = *last;
    return rows;
}

// Whether the options given fit together: those that need --seed have it,
// and --list-thrown-pairs, which writes a list of the whole table and no
// table, comes with no option about the rows or the table's text. False
// with `error` saying why where they do not.
bool optionsFitTogether(const RunSettings& settings, Message& error) {
    if (settings.rows.kind == Rows::Kind::part && !settings.seed) {
        error = "option '--part' needs '--seed': parts drawn at different seconds would not fit together";
        return false;
    }
    if (!settings.listThrownPairs) return true;
    if (!settings.seed) {
        error = "option '--list-thrown-pairs' needs '--seed': the list is of one seed's table";
        return false;
    }
    std::string_view other;
    if (settings.rows.kind == Rows::Kind::part) other = "--part";
    if (settings.rows.kind == Rows::Kind::range) other = "--rows";
    if (!settings.thrownPairs.empty()) other = "--thrown-pairs";
    if (settings.format != TableFormat::csv) other = "--format";
    if (settings.cellText != CellText::general) other = "--lossless";
    if (other.empty()) return true;
    error = Message("option '--list-thrown-pairs' cannot be used with ").quote(other) +=
        ": it writes the list of the whole table's thrown pairs, not a table";
    return false;
}

// Checks a range of rows against the table's `runs` rows and settles where
// an open range ends. False when the range is refused, `error` saying why.
bool settleRows(RunSettings& settings, Message& error) {
    Rows& rows = settings.rows;
    if (rows.kind != Rows::Kind::range) return true;
    const std::int64_t runs = std::max(settings.runs, 0);
    if (rows.first > runs || rows.last > runs) {
        error = Message("rows ").number(rows.first) += "-";
        if (rows.last != 0) error.number(rows.last);
        error += " pass the end of the table, which has ";
        error.number(runs) += runs == 1 ? " row" : " rows";
        return false;
    }
    if (rows.last == 0) rows.last = runs;
    return true;
}

// Takes `value`, the value of the option typed as `typed`, as a file name
// into `name`; an empty one is refused, `error` saying why.
bool readFileName(std::string_view value, std::string_view typed, Message& error, std::string_view& name) {
    if (value.empty()) {
        error = Message("option ").quote(typed) += " needs a file name, not ''";
        return false;
    }
    name = value;
    return true;
}

Message countOutOfRange(std::string_view name, std::string_view text) {
    Message message("number of ");
    message += name;
    message += " must lie between -2147483648 and 2147483647, not ";
    return message.quote(text);
}

enum class Option {
    help,
    version,
    seed,
    output,
    quiet,
    lossless,
    progress,
    format,
    threads,
    part,
    rows,
    thrownPairs,
    listThrownPairs
};

struct OptionName {
    std::string_view longName;
    char shortName;  // 0 when there is none
    bool takesValue;
    Option option;
};

// Every option the reader knows. A new option is a row here and its case in
// applyOption(); its letter, if any, makes every argument that begins with '-'
// and that letter an option, so it must not be one a number can begin with.
constexpr OptionName optionNames[] = {
    {"help", 'h', false, Option::help},
    {"version", 0, false, Option::version},
    {"seed", 's', true, Option::seed},
    {"output", 'o', true, Option::output},
    {"quiet", 'q', false, Option::quiet},
    {"lossless", 0, false, Option::lossless},
    {"progress", 0, false, Option::progress},
    {"format", 0, true, Option::format},
    {"threads", 'T', true, Option::threads},
    {"part", 0, true, Option::part},
    {"rows", 0, true, Option::rows},
    {"thrown-pairs", 0, true, Option::thrownPairs},
    {"list-thrown-pairs", 0, false, Option::listThrownPairs},
};

// The formats by name, in the order of TableFormat.
constexpr std::string_view formatNames[] = {"csv", "npy", "f32"};

std::optional<TableFormat> readFormat(std::string_view text) {
    const auto* const found = std::find(std::begin(formatNames), std::end(formatNames), text);
    if (found == std::end(formatNames)) return std::nullopt;
    return static_cast<TableFormat>(found - std::begin(formatNames));
}

const OptionName* findLongOption(std::string_view name) {
    const auto* const found = std::find_if(std::begin(optionNames), std::end(optionNames),
                                           [&](const OptionName& option) { return option.longName == name; });
    return found == std::end(optionNames) ? nullptr : found;
}

const OptionName* findShortOption(char letter) {
    const auto* const found =
        std::find_if(std::begin(optionNames), std::end(optionNames),
                     [&](const OptionName& option) { return letter != 0 && option.shortName == letter; });
    return found == std::end(optionNames) ? nullptr : found;
}

// Whether `word` is read as an option: "--" followed by a name, or '-'
// followed by one of the short option letters. No number's text starts that
// way (after a '-' it has a digit, '.', "inf", "nan" or "0x"), so negative
// numbers, and "-" alone, are values.
bool isOption(std::string_view word) {
    if (word.size() > 2 && word.substr(0, 2) == "--") return true;
    return word.size() >= 2 && word[0] == '-' && findShortOption(word[1]) != nullptr;
}

CommandLine rejected(const Message& error) {
    CommandLine line;
    line.error = error;
    return line;
}

// Applies one option, typed as `typed`, with its value (empty for an option
// that takes none). False when reading ends with it: help or version was
// asked (line.action says which), or the value is rejected (line.error says why).
bool applyOption(CommandLine& line, const OptionName& name, std::string_view typed, std::string_view value) {
    RunSettings& settings = line.settings;
    switch (name.option) {
        case Option::help:
            line.action = Action::help;
            return false;
        case Option::version:
            line.action = Action::version;
            return false;
        case Option::seed:
            settings.seed = readWholeNumber(value, std::numeric_limits<std::uint32_t>::max());
            if (!settings.seed) {
                line.error = Message("seed must be a whole number from 0 to 4294967295, not ").quote(value);
                return false;
            }
            return true;
        case Option::output:
            return readFileName(value, typed, line.error, settings.output);
        case Option::thrownPairs:
            return readFileName(value, typed, line.error, settings.thrownPairs);
        case Option::quiet:
            settings.quiet = true;
            return true;
        case Option::lossless:
            settings.cellText = CellText::lossless;
            return true;
        case Option::progress:
            settings.progress = true;
            return true;
        case Option::listThrownPairs:
            settings.listThrownPairs = true;
            return true;
        case Option::format: {
            const std::optional<TableFormat> format = readFormat(value);
            if (!format) {
                line.error = Message("unknown format ").quote(value) += "; the formats are csv, npy and f32";
                return false;
            }
            settings.format = *format;
            return true;
        }
        case Option::threads:
            if (const std::optional<std::uint32_t> threads = readWholeNumber(value, maxThreads)) {
                settings.threads = *threads;
                return true;
            }
            line.error = Message("threads must be a whole number from 0 to ").number(maxThreads);
            line.error += ", not ";
            line.error.quote(value);
            return false;
        case Option::part:
        case Option::rows: {
            const bool part = name.option == Option::part;
            if (settings.rows.kind != Rows::Kind::table && (settings.rows.kind == Rows::Kind::part) != part) {
                line.error = "options '--part' and '--rows' cannot be used together";
                return false;
            }
            const std::optional<Rows> rows = part ? readPart(value) : readRows(value);
            if (!rows) {
                line.error = part ? Message("part must be K/N, with 1 <= K <= N, not ")
                                  : Message("rows must be FIRST-LAST or FIRST-, counted from 1, FIRST <= LAST, not ");
                line.error.quote(value);
                return false;
            }
            settings.rows = *rows;
            return true;
        }
    }
    return true;
}

// The value of the option typed as `typed`: `glued` when it is not empty,
// else the next argument, which is then taken. Empty, with line.error set,
// when there is none.
std::optional<std::string_view> optionValue(CommandLine& line, std::string_view typed, std::string_view glued,
                                            std::span<char* const> arguments, std::size_t& next) {
    if (!glued.empty()) return glued;
    if (next < arguments.size()) return arguments[next++];
    line.error = Message("option ").quote(typed) += " needs a value";
    return std::nullopt;
}

// Reads "--NAME" or "--NAME=VALUE"; an option that takes a value and has no
// '=' takes the next argument. False when reading ends with it.
bool readLongOption(CommandLine& line, std::string_view word, std::span<char* const> arguments, std::size_t& next) {
    const std::size_t equals = word.find('=');
    const std::string_view typed = word.substr(0, equals);
    const OptionName* const name = findLongOption(typed.substr(2));
    if (name == nullptr) {
        line.error = Message("unknown option ").quote(word) += "; ";
        line.error += usageText;
        return false;
    }
    if (!name->takesValue) {
        if (equals == std::string_view::npos) return applyOption(line, *name, typed, {});
        line.error = Message("option ").quote(typed) += " takes no value";
        return false;
    }
    const std::optional<std::string_view> value =
        equals == std::string_view::npos ? optionValue(line, typed, {}, arguments, next) : word.substr(equals + 1);
    return value && applyOption(line, *name, typed, *value);
}

// Reads a bundle of short options, "-qs 5" or "-qs5": letters of options
// without values, then perhaps one that takes the rest of the argument as its
// value, or the next argument when nothing is left. False when reading ends.
bool readShortOptions(CommandLine& line, std::string_view word, std::span<char* const> arguments, std::size_t& next) {
    for (std::size_t at = 1; at < word.size(); ++at) {
        const std::array<char, 2> letter = {'-', word[at]};
        const std::string_view typed(letter.data(), letter.size());
        const OptionName* const name = findShortOption(word[at]);
        if (name == nullptr) {
            line.error = Message("unknown option ").quote(typed) += " in ";
            line.error.quote(word) += "; ";
            line.error += usageText;
            return false;
        }
        if (name->takesValue) {
            const std::optional<std::string_view> value =
                optionValue(line, typed, word.substr(at + 1), arguments, next);
            return value && applyOption(line, *name, typed, *value);
        }
        if (!applyOption(line, *name, typed, {})) return false;
    }
    return true;
}

}  // namespace

CommandLine parseCommandLine(std::span<char* const> arguments) {
    CommandLine line;
    RunSettings& settings = line.settings;
    settings.output = {};  // until an option names it: its format's default name

    // Options may stand anywhere, as with GNU getopt; the other arguments are
    // the four values, in order, then extras that are ignored.
    std::array<const char*, 4> values{};
    std::size_t valueCount = 0;
    bool optionsEnded = false;
    for (std::size_t next = 0; next < arguments.size();) {
        const char* const argument = arguments[next++];
        if (!optionsEnded && std::string_view(argument) == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && isOption(argument)) {
            const std::string_view word = argument;
            const bool goOn = word.substr(0, 2) == "--" ? readLongOption(line, word, arguments, next)
                                                        : readShortOptions(line, word, arguments, next);
            if (!goOn) return line;
        } else if (valueCount < values.size()) {
            values[valueCount++] = argument;
        }
    }
    if (settings.format != TableFormat::csv && settings.cellText == CellText::lossless) {
        return rejected("option '--lossless' is for text tables only: binary formats are exact already");
    }
    if (settings.output.empty()) {
        settings.output = settings.listThrownPairs ? standardOutputName : defaultTableNameFor(settings.format);
    }

    if (valueCount < values.size()) return rejected(usageText);
    std::array<bool, 4> whole{};
    settings.mean = readReal(values[0], whole[0]);
    settings.variance = readReal(values[1], whole[1]);
    if (std::isnan(settings.variance) || settings.variance < 0.0F) {
        return rejected(Message("variance must be a number of 0 or more, not ").quote(values[1]));
    }
    const std::optional<std::int32_t> runs = readCount(values[2], whole[2]);
    if (!runs) return rejected(countOutOfRange(valueNames[2], values[2]));
    const std::optional<std::int32_t> samplesPerRun = readCount(values[3], whole[3]);
    if (!samplesPerRun) return rejected(countOutOfRange(valueNames[3], values[3]));
    settings.runs = *runs;
    settings.samplesPerRun = *samplesPerRun;
    if (Message error; !optionsFitTogether(settings, error) || !settleRows(settings, error)) return rejected(error);
    for (std::size_t i = 0; i < values.size(); ++i) {
        line.values[i] = values[i];
        if (!whole[i]) line.notNumbers |= 1U << i;
    }
    line.action = Action::run;
    return line;
}

void warnOfNotNumbers(const CommandLine& line) noexcept {
    const RunSettings& settings = line.settings;
    for (std::size_t i = 0; i < line.values.size(); ++i) {
        if ((line.notNumbers >> i & 1U) == 0) continue;
        Message warning(valueNames[i]);
        warning += " ";
        warning.quote(line.values[i]) += i < 2 ? " is not a number" : " is not a whole number";
        warning += "; read as ";
        switch (i) {
            case 0:
                warning.general(settings.mean);
                break;
            case 1:
                warning.general(settings.variance);
                break;
            case 2:
                warning.number(settings.runs);
                break;
            default:
                warning.number(settings.samplesPerRun);
        }
        warn(warning);
    }
}

}  // namespace gaussian_noise
