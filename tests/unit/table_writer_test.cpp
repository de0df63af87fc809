// The table written in process by one thread and by several, against the
// reference table of the C library's rand(): every shape, worker count and
// chunk size, and pairs thrown away (a first draw of 0) wherever they fall in
// a chunk.
#include "table/table_writer.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "expected_table.h"
#include "io/output.h"

namespace gaussian_noise::testing {
namespace {

// Seeds whose sequence throws away the pair of draws at this index (counted
// from 0 in the pairs after srand): found by scanning the sequence.
struct ThrownPair {
    std::uint32_t seed;
    std::uint64_t pair;
};
constexpr ThrownPair seed376{376, 410216};
constexpr ThrownPair seed5509{5509, 927892};
constexpr ThrownPair seed22312356{22312356, 18};
constexpr ThrownPair seed74617010{74617010, 5};

RunSettings shape(std::int32_t runs, std::int32_t samplesPerRun, CellText text = CellText::general) {
    RunSettings settings;
    settings.mean = 1.7F;
    settings.variance = 3.3F;
    settings.runs = runs;
    settings.samplesPerRun = samplesPerRun;
    settings.cellText = text;
    return settings;
}

// What the writer put into a file in memory.
class MemoryFile {
public:
    MemoryFile() : fd_(::memfd_create("table", 0)) {}
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    MemoryFile(MemoryFile&&) = delete;
    MemoryFile& operator=(MemoryFile&&) = delete;
    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] std::string content() const {
        std::string text(static_cast<std::size_t>(::lseek(fd_, 0, SEEK_END)), '\0');
        if (::pread(fd_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) text = "(unreadable)";
        return text;
    }

private:
    int fd_;
};

std::string threadedTable(const RunSettings& settings, std::uint32_t seed, unsigned workers,
                          std::uint64_t pairsPerChunk) {
    const MemoryFile file;
    static std::array<char, std::size_t{1} << 20> buffer;
    BlockWriter out(file.fd(), buffer);
    RunSettings threaded = settings;
    threaded.threads = workers;
    EXPECT_TRUE(writeTable(out, threaded, seed, 0, nullptr, pairsPerChunk));
    return file.content();
}

// Where two tables first differ; empty when they are the same. (GoogleTest's
// own report of two strings that differ compares them line by line, too
// slowly for tables of many rows.)
std::string difference(const std::string& written, const std::string& expected) {
    if (written == expected) return "";
    const auto at = static_cast<std::size_t>(
        std::mismatch(written.begin(), written.end(), expected.begin(), expected.end()).first - written.begin());
    const std::size_t from = at < 40 ? 0 : at - 40;
    return "sizes " + std::to_string(written.size()) + " and " + std::to_string(expected.size()) +
           ", first difference at byte " + std::to_string(at) + ": '" + written.substr(from, 80) + "' against '" +
           expected.substr(from, 80) + "'";
}

std::string referenceTable(const RunSettings& settings, std::uint32_t seed) {
    return expectedTable(seed, settings.mean, settings.variance, settings.runs, settings.samplesPerRun,
                         settings.cellText);
}

TEST(ThreadedTable, IsTheReferenceTableForEveryShapeWorkerCountAndChunkSize) {
    for (const RunSettings& settings : {shape(0, 5), shape(-3, 5), shape(3, 0), shape(3, -2), shape(1, 1000),
                                        shape(1000, 1), shape(37, 53), shape(37, 53, CellText::lossless)}) {
        const std::string expected = referenceTable(settings, 42);
        for (const unsigned workers : {1U, 2U, 3U, 8U}) {
            for (const std::uint64_t pairs : {1U, 7U, 256U, 5000U}) {
                EXPECT_EQ(difference(threadedTable(settings, 42, workers, pairs), expected), "")
                    << settings.runs << " x " << settings.samplesPerRun << ", " << workers << " workers, " << pairs
                    << " pairs a chunk";
            }
        }
    }
}

TEST(ThreadedTable, IsTheReferenceTableWherePairsAreThrownAway) {
    const std::uint64_t thrown = seed376.pair;
    struct Case {
        RunSettings settings;
        std::uint64_t pairsPerChunk = 0;
    };
    // Rows of 300 cells, and a table of 420000 cells, 9784 past the pair thrown away:
    const RunSettings rows = shape(1400, 300);
    for (const Case& test : {
             Case{rows, thrown},      // the first pair of a chunk
             Case{rows, thrown - 1},  // the second pair of a chunk
             Case{rows, thrown + 1},  // the last pair of a chunk: the next lays its rows out a cell late
             Case{rows, 1000},        // mid-chunk: the next chunks lay their rows out a cell late
             Case{rows, thrown / 2},  // the first pair of the last chunk
             // The last pair of the last chunk: the writer draws the last cell itself.
             Case{shape(136739, 3), (thrown + 1) / 3},
         }) {
        const std::string expected = referenceTable(test.settings, seed376.seed);
        for (const unsigned workers : {1U, 3U}) {
            EXPECT_EQ(difference(threadedTable(test.settings, seed376.seed, workers, test.pairsPerChunk), expected), "")
                << test.pairsPerChunk << " pairs a chunk, " << workers << " workers";
        }
    }
    // Among the table's first pairs, first or last of a chunk, or inside one.
    const RunSettings small = shape(7, 11);
    for (const ThrownPair early : {seed22312356, seed74617010}) {
        const std::string expected = referenceTable(small, early.seed);
        for (const std::uint64_t pairs : {early.pair, early.pair + 1, std::uint64_t{4}}) {
            for (const unsigned workers : {1U, 2U, 5U}) {
                EXPECT_EQ(threadedTable(small, early.seed, workers, pairs), expected)
                    << early.seed << ", " << pairs << " pairs a chunk, " << workers << " workers";
            }
        }
    }
}

TEST(ThreadedLargeTable, IsTheReferenceTableForOneLongRowAndManyShortOnes) {
    // The pair thrown away lies mid-table.
    const RunSettings oneRow = shape(1, 10'000'000);
    const std::string row = referenceTable(oneRow, seed5509.seed);
    EXPECT_EQ(difference(threadedTable(oneRow, seed5509.seed, 2, defaultPairsPerChunk), row), "");
    // The same cells, each on its own row.
    std::string rows;
    rows.reserve(row.size() + static_cast<std::size_t>(oneRow.samplesPerRun));
    for (const char c : row) {
        rows += c;
        if (c == ',') rows += '\n';
    }
    rows.pop_back();
    const RunSettings manyRows = shape(10'000'000, 1);
    EXPECT_EQ(difference(threadedTable(manyRows, seed5509.seed, 2, defaultPairsPerChunk), rows), "");
}

}  // namespace
}  // namespace gaussian_noise::testing
