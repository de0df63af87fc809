// libFuzzer target for the command-line reader. The input is split at NUL
// bytes into arguments, each in a heap block of exactly its size, so that
// AddressSanitizer catches any read past an argument or past the last one.
// Besides crashes, it checks that what the reader accepts agrees with the
// text it was given, and aborts when it does not.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"

namespace {

using gaussian_noise::Action;
using gaussian_noise::CommandLine;
using gaussian_noise::RunSettings;

void require(bool condition) {
    if (!condition) std::abort();
}

// Whether `digits` is a run of decimal digits that spells `value`, leading zeros allowed.
bool spells(std::string_view digits, std::uint32_t value) {
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return false;
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size() - 1));
    return digits == std::to_string(value);
}

bool sameFloat(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// Whether `word` is a bundle of short options: '-' and a letter other than '-'.
bool isShortBundle(std::string_view word) { return word.size() >= 2 && word[0] == '-' && word[1] != '-'; }

// Whether some argument sets the option to a value that `matches`: after
// "--NAME=", glued to its letter in a bundle of short options (-s42, -qs42,
// -o-), or as the whole argument after --NAME or a bundle ending in its letter.
bool valueGiven(const std::vector<std::string_view>& words, std::string_view longName, char letter,
                const auto& matches) {
    const std::string name = "--" + std::string(longName);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (i > 0 && matches(word) &&
            (words[i - 1] == name || (isShortBundle(words[i - 1]) && words[i - 1].back() == letter))) {
            return true;
        }
        if (word.substr(0, name.size() + 1) == name + "=" && matches(word.substr(name.size() + 1))) return true;
        for (std::size_t at = 1; isShortBundle(word) && at < word.size(); ++at) {
            if (word[at] == letter && matches(word.substr(at + 1))) return true;
        }
    }
    return false;
}

// Whether a value-less option was typed: as --NAME, or its letter in a bundle.
bool flagGiven(const std::vector<std::string_view>& words, std::string_view longName, char letter) {
    return std::any_of(words.begin(), words.end(), [&](std::string_view word) {
        return word == "--" + std::string(longName) ||
               (letter != 0 && isShortBundle(word) && word.find(letter) != std::string_view::npos);
    });
}

// Whether the four values stand, in order, among the arguments: options may
// come between them, so they need not be consecutive.
bool valuesStand(const std::vector<std::string_view>& words, const RunSettings& settings) {
    const auto real = [](std::string_view word) { return std::strtod(std::string(word).c_str(), nullptr); };
    const auto count = [](std::string_view word) { return std::strtol(std::string(word).c_str(), nullptr, 10); };
    const std::vector<std::function<bool(std::string_view)>> values = {
        [&](std::string_view word) { return sameFloat(static_cast<float>(real(word)), settings.mean); },
        [&](std::string_view word) { return sameFloat(static_cast<float>(real(word)), settings.variance); },
        [&](std::string_view word) { return count(word) == settings.runs; },
        [&](std::string_view word) { return count(word) == settings.samplesPerRun; },
    };
    std::size_t found = 0;
    for (std::size_t i = 0; i < words.size() && found < values.size(); ++i) {
        if (values[found](words[i])) ++found;
    }
    return found == values.size();
}

void checkAccepted(const std::vector<std::string_view>& words, const RunSettings& settings) {
    require(valuesStand(words, settings));
    if (settings.seed) {
        require(valueGiven(words, "seed", 's', [&](std::string_view text) { return spells(text, *settings.seed); }));
    }
    // The list of thrown pairs goes to standard output unless named.
    const std::string_view defaultName =
        settings.listThrownPairs ? std::string_view("-") : gaussian_noise::defaultTableNameFor(settings.format);
    if (settings.output != defaultName) {
        require(valueGiven(words, "output", 'o', [&](std::string_view text) { return text == settings.output; }));
    }
    require(!settings.quiet || flagGiven(words, "quiet", 'q'));
    require(settings.cellText == gaussian_noise::CellText::general || flagGiven(words, "lossless", 0));
    require(!settings.progress || flagGiven(words, "progress", 0));
    require(!settings.output.empty());
    require(!std::isnan(settings.variance) && settings.variance >= 0.0F);
    // Parts and lists of thrown pairs are of one seed's table; a range lies within it.
    using Kind = gaussian_noise::Rows::Kind;
    const gaussian_noise::Rows& rows = settings.rows;
    const auto any = [](std::string_view) { return true; };
    require(rows.kind != Kind::part ||
            (valueGiven(words, "part", 0, any) && settings.seed && rows.part >= 1 && rows.part <= rows.parts));
    require(rows.kind != Kind::range || (valueGiven(words, "rows", 0, any) && rows.first >= 1 &&
                                         rows.first <= rows.last && rows.last <= settings.runs));
    require(!settings.listThrownPairs || (flagGiven(words, "list-thrown-pairs", 0) && settings.seed));
    // A list is of the whole table, and no table: nothing about rows or text goes with it.
    require(!settings.listThrownPairs || (rows.kind == Kind::table && settings.thrownPairs.empty() &&
                                          settings.format == gaussian_noise::TableFormat::csv &&
                                          settings.cellText == gaussian_noise::CellText::general));
    // Binary formats are exact: lossless text never goes with them.
    require(settings.format == gaussian_noise::TableFormat::csv ||
            settings.cellText == gaussian_noise::CellText::general);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::unique_ptr<char[]>> storage;
    std::vector<char*> arguments;
    std::vector<std::string_view> words;
    // libFuzzer hands over bytes; arguments are chars.
    const char* begin = reinterpret_cast<const char*>(data);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
    const char* const end = begin + size;
    while (begin < end && arguments.size() < 32) {
        const char* const stop = std::find(begin, end, '\0');
        const auto length = static_cast<std::size_t>(stop - begin);
        storage.push_back(std::make_unique<char[]>(length + 1));
        std::memcpy(storage.back().get(), begin, length);
        storage.back()[length] = '\0';
        arguments.push_back(storage.back().get());
        words.emplace_back(storage.back().get(), length);
        begin = stop + 1;
    }

    const CommandLine line = gaussian_noise::parseCommandLine(arguments);
    switch (line.action) {
        case Action::run:
            require(line.error.empty());
            checkAccepted(words, line.settings);
            break;
        case Action::help:
        case Action::version: {
            const bool help = line.action == Action::help;
            require(flagGiven(words, help ? "help" : "version", help ? 'h' : 0));
            break;
        }
        case Action::reject:
            require(!line.error.empty());
            break;
    }
    return 0;
}
