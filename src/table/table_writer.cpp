#include "table/table_writer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "cli/messages.h"
#include "draws/rand_sequence.h"
#include "draws/run_start.h"
#include "samples/math_choice.h"
#include "table/binary_table.h"

namespace gaussian_noise {

// --- What the table is -----------------------------------------------------

Table tableOf(const RunSettings& settings) {
    return {{settings.mean, settings.variance},
            chosenMath(),
            cellFormat(settings.format, settings.cellText),
            std::max(settings.samplesPerRun, 1),
            runCellCount(settings)};
}

// --- The table itself ------------------------------------------------------

namespace {

// Cells handed to the buffer at a time: their room is well under its size.
constexpr std::int64_t cellsPerPiece = 16384;

// Writes cells first .. table.cells-1 through `out`, drawing from `draws`.
// The progress report counts the cells the system has taken: those before
// the buffer's first, all of them once it is flushed.
template <class Draws>
bool writeCellsFrom(BlockWriter& out, const Table& table, Draws& draws, std::int64_t first, Progress* progress) {
    std::int64_t taken = first;
    while (first < table.cells) {
        const std::int64_t piece = std::min(cellsPerPiece, table.cells - first);
        const std::uint64_t written = out.written();
        if (!out.makeRoom(cellsRoom(table.format, piece))) return false;
        if (out.written() != written) taken = first;
        const DrawnCells drawn = drawCells(out.end(), table, draws, first, piece);
        out.advance(drawn.end);
        first += drawn.cells;
        if (progress != nullptr) progress->update(taken, out.written());
    }
    return true;
}

// The line feeds between the rows of a table whose rows hold no cells.
bool writeEmptyRows(BlockWriter& out, std::int64_t rows, const CellFormat& format) {
    if (!format.rowSeparators) return true;
    std::int64_t left = rows - 1;
    while (left > 0) {
        const std::int64_t piece = std::min(cellsPerPiece, left);
        if (!out.makeRoom(static_cast<std::size_t>(piece))) return false;
        char* end = out.end();
        std::memset(end, '\n', static_cast<std::size_t>(piece));
        out.advance(end + piece);
        left -= piece;
    }
    return true;
}

// Passes over the pairs of `cells` cells, thrown pairs included, drawing them.
void passCells(CLibraryRand& rand, std::int64_t cells) {
    std::array<std::int32_t, 2> pair{};
    for (std::int64_t passed = 0; passed < cells;) {
        rand.fill(pair);
        if (pair[0] != 0) ++passed;
    }
}

// Everything after the header: the rows, with a line feed before them where
// they are a part that does not begin the table.
bool writeBody(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, std::uint64_t firstPair,
               Progress* progress, std::uint64_t pairsPerChunk) {
    const Table table = tableOf(settings);
    const RowSpan rows = runRows(settings);
    if (settings.rows.kind == Rows::Kind::part && rows.first > 0 && rows.count > 0 && table.format.rowSeparators &&
        !out.writeThrough("\n")) {
        return false;
    }
    const unsigned threads = drawingThreads(settings);
    CLibraryRand rand(seed);
    const bool copyServes = rand.followsSequence();
    if (!copyServes && threads > 1) {
        report(
            "rand() here is not the C library sequence the tool can split between threads; "
            "writing the table in one thread");
    }
    if (table.cells == 0) return writeEmptyRows(out, rows.count, table.format);
    if (!copyServes) {
        passCells(rand, firstCellOf(settings));
        return writeCellsFrom(out, table, rand, 0, progress);
    }

    RandSequence draws(seed);
    std::int64_t first = 0;
    std::uint64_t pairs = 0;
    if (threads > 1) {
        const ThreadedCells threaded =
            writeThreadedCells(out, table, seed, firstPair, threads, pairsPerChunk, progress);
        if (!threaded.written) return false;
        first = threaded.cells;
        pairs = threaded.pairs;
    }
    draws.skip(2 * (firstPair + pairs));
    return writeCellsFrom(out, table, draws, first, progress);
}

// The .npy header the run begins with: the whole table's for the table and
// its first part, a range's own shape for a range, none for later parts.
bool writeHeader(BlockWriter& out, const RunSettings& settings) {
    if (settings.format != TableFormat::npy) return true;
    const Rows& rows = settings.rows;
    switch (rows.kind) {
        case Rows::Kind::part:
            if (rows.part != 1) return true;
            break;
        case Rows::Kind::range:
            return out.writeThrough(
                npyHeader(static_cast<std::int32_t>(runRows(settings).count), settings.samplesPerRun).view());
        case Rows::Kind::table:
            break;
    }
    return out.writeThrough(npyHeader(settings.runs, settings.samplesPerRun).view());
}

}  // namespace

bool writeTable(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, std::uint64_t firstPair,
                Progress* progress, std::uint64_t pairsPerChunk) {
    if (!writeHeader(out, settings) || !writeBody(out, settings, seed, firstPair, progress, pairsPerChunk) ||
        !out.flush()) {
        return false;
    }
    if (progress != nullptr) progress->finish(runCellCount(settings), out.written());
    return true;
}

}  // namespace gaussian_noise
