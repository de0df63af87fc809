// The cells of a table: how each sample is written, chosen once per run;
// the one function that lays a run of samples out as cells with their row
// breaks; and the batch step that turns pairs of draws into cells.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "cli/run_settings.h"
#include "samples/gaussian_sample.h"

namespace gaussian_noise {

// Writes each sample as one cell (its text and the comma after it, or its
// four bytes) and returns the end of what it wrote.
using CellWriter = char* (*)(char* out, std::span<const float> samples) noexcept;

struct CellFormat {
    CellWriter write = nullptr;
    std::size_t room = 0;       // bytes one cell may take while written: its bytes, separator, scratch
    bool rowSeparators = true;  // a line feed between rows
};

// The format of the run's cells: %g text, the shortest exact text, or binary.
CellFormat cellFormat(TableFormat format, CellText text);

// A table as its writers see it, fixed for the run.
struct Table {
    Distribution distribution;
    SampleMath math = scalarMath;  // the logf and cosf the samples are computed with
    CellFormat format;
    std::int64_t samplesPerRun = 1;  // cells a row, more than 0
    std::int64_t cells = 0;          // the run writes: the whole table's, a part's or a range's
};

// The room `cells` cells need in writeCells, their line feeds included.
inline std::size_t cellsRoom(const CellFormat& format, std::int64_t cells) {
    return static_cast<std::size_t>(cells) * (format.room + 1);
}

// Writes `samples` as cells first, first+1, ... of a table of `samplesPerRun`
// cells a row: each cell that begins a row but the table's first has a line
// feed before it, where the format separates rows. Needs
// cellsRoom(format, samples.size()) bytes at `out`; returns the end.
char* writeCells(char* out, const CellFormat& format, std::int64_t samplesPerRun, std::int64_t first,
                 std::span<const float> samples) noexcept;

struct DrawnCells {
    char* end;            // of what was written
    std::int64_t cells;   // written
    std::uint64_t pairs;  // of draws taken
};

// Takes pairs of draws (0..2147483647 each) from `draws` a batch at a time
// (draws.fill(span) hands out the next ones),
// turns them into samples and writes those as cells first, first+1, ... of
// the table at `out`, until `cells` cells are written or `pairs` pairs taken.
// Never takes a pair more than the cells still to write, so that a table
// drawn in pieces takes exactly the draws of one drawn whole. Needs
// cellsRoom(table.format, cells) bytes at `out`.
template <class Draws>
DrawnCells drawCells(char* out,  // NOLINT(readability-non-const-parameter): the cells are written through it
                     const Table& table, Draws& draws, std::int64_t first, std::int64_t cells,
                     std::uint64_t pairs = std::numeric_limits<std::uint64_t>::max()) {
    // Draws, samples and text each run as a tight loop of their own, which is
    // markedly faster than one loop alternating between them.
    constexpr std::size_t batchPairs = 256;
    std::array<std::int32_t, 2 * batchPairs> drawn{};
    std::array<float, batchPairs> samples{};
    DrawnCells done{out, 0, 0};
    while (done.cells < cells && done.pairs < pairs) {
        const auto size = static_cast<std::size_t>(
            std::min<std::uint64_t>({batchPairs, static_cast<std::uint64_t>(cells - done.cells), pairs - done.pairs}));
        draws.fill(std::span(drawn.data(), 2 * size));
        const std::size_t made =
            samplesOfPairs(table.distribution, std::span(drawn.data(), 2 * size), samples.data(), table.math);
        done.end = writeCells(done.end, table.format, table.samplesPerRun, first + done.cells,
                              std::span<const float>(samples.data(), made));
        done.cells += static_cast<std::int64_t>(made);
        done.pairs += size;
    }
    return done;
}

}  // namespace gaussian_noise
