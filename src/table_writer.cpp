#include "table_writer.h"

#include <algorithm>
#include <cstring>

#include "binary_table.h"
#include "cells.h"
#include "messages.h"
#include "rand_sequence.h"

namespace gaussian_noise {
namespace {

// Cells handed to the buffer at a time: their room is well under its size.
constexpr std::int64_t cellsPerPiece = 16384;

// Writes cells first .. table.cells-1 through `out`, drawing from `draws`.
template <class Draws>
bool writeCellsFrom(BlockWriter& out, const Table& table, Draws& draws, std::int64_t first, Progress* progress) {
    while (first < table.cells) {
        const std::int64_t piece = std::min(cellsPerPiece, table.cells - first);
        if (!out.makeRoom(cellsRoom(table.format, piece))) return false;
        const DrawnCells drawn = drawCells(out.end(), table, draws, first, piece);
        out.advance(drawn.end);
        first += drawn.cells;
        if (progress != nullptr) progress->update(first, out.size());
    }
    return true;
}

// The line feeds between the rows of a table whose rows hold no cells.
bool writeEmptyRows(BlockWriter& out, const RunSettings& settings, const CellFormat& format) {
    if (!format.rowSeparators) return true;
    std::int64_t left = std::int64_t{settings.runs} - 1;
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

// Everything after the header.
bool writeBody(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, Progress* progress,
               std::uint64_t pairsPerChunk) {
    const Table table = tableOf(settings);
    const unsigned threads = settings.threads == 0 ? availableProcessors() : settings.threads;
    CLibraryRand rand(seed);
    const bool copyServes = rand.followsSequence(seed);
    if (!copyServes && threads > 1) {
        report(
            "rand() here is not the C library sequence the tool can split between threads; "
            "writing the table in one thread");
    }
    if (table.cells == 0) return writeEmptyRows(out, settings, table.format);
    if (!copyServes) return writeCellsFrom(out, table, rand, 0, progress);

    RandSequence draws(seed);
    std::int64_t first = 0;
    if (threads > 1) {
        const ThreadedCells threaded = writeThreadedCells(out, table, seed, threads, pairsPerChunk, progress);
        if (!threaded.written) return false;
        first = threaded.cells;
        draws.skip(2 * threaded.pairs);
    }
    return writeCellsFrom(out, table, draws, first, progress);
}

}  // namespace

bool writeTable(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, Progress* progress,
                std::uint64_t pairsPerChunk) {
    if (settings.format == TableFormat::npy && !out.writeThrough(npyHeader(settings.runs, settings.samplesPerRun))) {
        return false;
    }
    if (!writeBody(out, settings, seed, progress, pairsPerChunk) || !out.flush()) return false;
    if (progress != nullptr) progress->finish(tableCellCount(settings), out.size());
    return true;
}

}  // namespace gaussian_noise
