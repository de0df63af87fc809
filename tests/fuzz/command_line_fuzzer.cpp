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
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"

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

// Whether the four values stand as consecutive arguments from `first` on.
bool valuesStandAt(const std::vector<std::string_view>& words, std::size_t first, const RunSettings& settings) {
    const auto real = [&](std::size_t i) { return std::strtod(std::string(words[i]).c_str(), nullptr); };
    const auto count = [&](std::size_t i) { return std::strtol(std::string(words[i]).c_str(), nullptr, 10); };
    return first + 4 <= words.size() && count(first + 2) == settings.runs &&
           count(first + 3) == settings.samplesPerRun && sameFloat(static_cast<float>(real(first)), settings.mean) &&
           sameFloat(static_cast<float>(real(first + 1)), settings.variance);
}

void checkAccepted(const std::vector<std::string_view>& words, const RunSettings& settings) {
    bool valuesFound = false;
    bool seedFound = !settings.seed.has_value();
    bool outputFound = settings.output == gaussian_noise::defaultTableNameFor(settings.format);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        valuesFound = valuesFound || valuesStandAt(words, i, settings);
        if (settings.seed) {
            seedFound = seedFound || spells(word, *settings.seed) ||
                        (word.substr(0, 7) == "--seed=" && spells(word.substr(7), *settings.seed));
        }
        outputFound = outputFound || word == settings.output || word == "--output=" + settings.output;
    }
    require(valuesFound && seedFound && outputFound);
    require(!settings.output.empty());
    require(!std::isnan(settings.variance) && settings.variance >= 0.0F);
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
            const std::string_view wanted = line.action == Action::help ? "--help" : "--version";
            require(std::any_of(words.begin(), words.end(), [&](std::string_view word) {
                return word == wanted || (line.action == Action::help && word == "-h");
            }));
            break;
        }
        case Action::reject:
            require(!line.error.empty());
            break;
    }
    return 0;
}
