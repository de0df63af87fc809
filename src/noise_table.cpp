#include "noise_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "binary_table.h"

namespace gaussian_noise {
namespace {

// Cells handed to the buffer at a time: their room is well under its size.
constexpr std::int64_t cellsPerPiece = 16384;

// The rand() of the C library, for the draws where no copy of its sequence can stand in.
struct CLibraryRand {
    std::int32_t operator()() const { return std::rand(); }
};

template <class Source>
bool writeCells(BlockWriter& out, const TableLayout& layout, std::int64_t first, std::int64_t count,
                CountedDraws<Source>& draws, Progress* progress) {
    for (std::int64_t done = 0; done < count;) {
        const std::int64_t piece = std::min(cellsPerPiece, count - done);
        if (!out.makeRoom(tableCellsRoom(layout.format, piece))) return false;
        out.advance(writeTableCells(out.end(), layout, first + done, piece, draws).end);
        done += piece;
        if (progress != nullptr) progress->update(first + done, out.size());
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

template <class Source>
bool writeWholeTable(BlockWriter& out, const RunSettings& settings, Source& source, Progress* progress) {
    const TableLayout layout = tableLayout(settings);
    const std::int64_t cells = tableCellCount(settings);
    CountedDraws<Source> draws{source};
    if (cells == 0 ? !writeEmptyRows(out, settings, layout.format)
                   : !writeCells(out, layout, 0, cells, draws, progress)) {
        return false;
    }
    if (!out.flush()) return false;
    if (progress != nullptr) progress->finish(cells, out.size());
    return true;
}

}  // namespace

TableLayout tableLayout(const RunSettings& settings) {
    return {settings.mean, settings.variance, std::max(settings.samplesPerRun, 1), cellFormat(settings)};
}

bool writeTableHeader(BlockWriter& out, const RunSettings& settings) {
    return settings.format != TableFormat::npy || out.writeThrough(npyHeader(settings.runs, settings.samplesPerRun));
}

bool writeCellRange(BlockWriter& out, const TableLayout& layout, std::int64_t first, std::int64_t count,
                    RandSequence& draws, Progress* progress) {
    CountedDraws<RandSequence> counted{draws};
    return writeCells(out, layout, first, count, counted, progress);
}

bool writeNoiseTable(BlockWriter& out, const RunSettings& settings, RandSequence& draws, Progress* progress) {
    return writeWholeTable(out, settings, draws, progress);
}

bool writeNoiseTableFromRand(BlockWriter& out, const RunSettings& settings, Progress* progress) {
    CLibraryRand draws;
    return writeWholeTable(out, settings, draws, progress);
}

}  // namespace gaussian_noise
