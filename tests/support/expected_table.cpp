#include "expected_table.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "reference_noise.h"

namespace gaussian_noise::testing {

std::string expectedTable(unsigned seed, float mean, float variance, int runs, int samplesPerRun, CellText text) {
    std::srand(seed);
    return expectedTable([] { return std::rand(); }, mean, variance, runs, samplesPerRun, text);
}

std::string expectedTable(const std::function<int()>& draw, float mean, float variance, int runs, int samplesPerRun,
                          CellText text) {
    std::string table;
    for (int run = 0; run < runs; ++run) {
        if (run != 0) table += '\n';
        for (int sample = 0; sample < samplesPerRun; ++sample) {
            const float value = reference::nextSample(mean, variance, draw);
            char cell[32];
            const int size = text == CellText::general
                                 ? std::snprintf(cell, sizeof cell, "%g", static_cast<double>(value))
                                 : static_cast<int>(std::to_chars(cell, cell + sizeof cell, value).ptr - cell);
            table.append(cell, static_cast<std::size_t>(size));
            table += ',';
        }
    }
    return table;
}

bool writtenWithClockSeed(const ToolRun& run, const std::string& table, float mean, float variance, int runs,
                          int samplesPerRun) {
    for (std::time_t second = run.startedAt; second <= run.endedAt; ++second) {
        if (table == expectedTable(static_cast<unsigned>(second), mean, variance, runs, samplesPerRun)) return true;
    }
    return false;
}

std::string echo(const std::string& mean, const std::string& variance, const std::string& runs,
                 const std::string& samples) {
    return "Desired Mean: " + mean + "\nDesired Variance: " + variance + "\nDesired number of runs: " + runs +
           "\nDesired number of samples per run: " + samples + "\n";
}

std::string referenceSingles(unsigned seed, float mean, float variance, int cells) {
    std::srand(seed);
    std::string bytes;
    for (int cell = 0; cell < cells; ++cell) {
        const auto bits = std::bit_cast<std::uint32_t>(reference::nextSample(mean, variance));
        for (unsigned shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((bits >> shift) & 0xFFU);
    }
    return bytes;
}

}  // namespace gaussian_noise::testing
