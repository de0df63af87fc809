// The whole table of a run, from its first byte to its last: what the table
// is (its cells, their format, the math they are computed with), its
// progress report, the header, the source of the draws, the threads that
// draw them, the cells, and the last flush.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "table/cells.h"
#include "io/output.h"
#include "cli/run_settings.h"
#include "table/threaded_cells.h"

namespace gaussian_noise {

// The rows a run writes: the first (counted from 0 in the whole table) and how many.
struct RowSpan {
    std::int64_t first = 0;
    std::int64_t count = 0;
};
RowSpan rowSpan(const RunSettings& settings);

// The cells the run writes (all the table's, a part's or a range's): 0 when
// either count is 0 or less.
std::int64_t tableCellCount(const RunSettings& settings);

// The threads the run draws (and scans) with.
unsigned drawingThreads(const RunSettings& settings);

// The index, in the whole table, of the first cell the run writes.
std::int64_t firstCellOf(const RunSettings& settings);

// The table the settings ask for, as its writers see it.
Table tableOf(const RunSettings& settings);

// Progress of a long table on standard error: a line rewritten in place on a
// terminal, plain lines now and then otherwise. It counts only what the
// system has taken, and needs no heap: a report that cannot be shown is
// left out, and never fails the table.
class Progress {
public:
    // Reports on `fd` for a table of `totalCells` cells written to `tableFd`.
    // On a terminal the report is one line rewritten a few times a second
    // with a carriage return, fitted to the terminal's width; elsewhere a
    // plain line every few seconds. Where the table goes to a terminal too
    // (or to the very file the reports go to), each report is a line of its
    // own between the table's lines, so that none overwrites the table's
    // text. `interval`, when not negative, is the seconds between reports.
    Progress(int fd, std::int64_t totalCells, int tableFd, double interval = -1.0) noexcept;

    // Called often: reports only when the time for the next report has come.
    void update(std::int64_t cells, std::uint64_t bytes) noexcept {
        if (now() >= nextReport_) report(cells, bytes, false);
    }
    // The last report, with the time the table took; on a terminal it ends the line.
    void finish(std::int64_t cells, std::uint64_t bytes) noexcept { report(cells, bytes, true); }
    // Ends a line left open on the terminal, so that a message can follow.
    void interrupt() noexcept;

    // The text of a report.
    struct Line {
        std::array<char, 256> text{};
        std::size_t size = 0;
        [[nodiscard]] std::string_view view() const noexcept { return {text.data(), size}; }
    };
    // The share done (never 100% before the last cell), the cells, the
    // bytes, the rate and the time left or taken. On a terminal the fields
    // that do not fit its width are left out, the rate first, then the
    // bytes, the cells and the time; then the program's name, leaving the
    // share alone; and where not even that fits, the line is empty.
    [[nodiscard]] Line line(std::int64_t cells, std::uint64_t bytes, bool last) const noexcept;

private:
    static double now() noexcept;
    void report(std::int64_t cells, std::uint64_t bytes, bool last) noexcept;
    // The columns a line may take: the terminal's width less one, so that
    // the cursor never wraps; 80 less one where the width is not known.
    [[nodiscard]] std::size_t room() const noexcept;

    int fd_;
    std::int64_t totalCells_;
    bool terminal_;
    bool besideTable_;
    double interval_;
    double start_;
    double nextReport_;
    std::size_t lastWidth_ = 0;  // of the line on the terminal, to blank what a shorter one leaves
};

// Seeds the C library's rand() with srand(seed) and writes the table the
// settings ask for through `out`, telling `progress` (when given) how far it
// got. `firstPair` is the pair of draws after srand(seed) that the run's
// first cell is drawn from: pairOfCell(seed, firstCellOf(settings)), 0 for
// the whole table. The draws are rand()'s; where the tool's copy of its sequence gives
// the same draws, the copy stands in for it, in as many threads as the
// settings ask (chunks of `pairsPerChunk` pairs each), and where it does not,
// rand() is drawn from in one thread, with a word on standard error when more
// were asked for. Stops at the first failed write; false then, and
// out.error() tells why.
bool writeTable(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, std::uint64_t firstPair = 0,
                Progress* progress = nullptr, std::uint64_t pairsPerChunk = defaultPairsPerChunk);

}  // namespace gaussian_noise
