// The noise table written by one thread: rows of comma-terminated samples,
// line feeds between rows.
#pragma once

#include <cstdint>

#include "block_writer.h"
#include "progress.h"
#include "rand_sequence.h"
#include "run_settings.h"
#include "table_cells.h"

namespace gaussian_noise {

// Draws one sample per cell from `draws`, row by row, and writes the table
// through `out` in the settings' cell text, telling `progress` (when given)
// how far it got. Stops at the first failed write; false then, and
// out.error() tells why.
bool writeNoiseTable(BlockWriter& out, const RunSettings& settings, RandSequence& draws, Progress* progress = nullptr);

// The same, drawing from the C library's rand(), seeded by the caller.
bool writeNoiseTableFromRand(BlockWriter& out, const RunSettings& settings, Progress* progress = nullptr);

// Writes the cells first .. first+count-1 through `out`, without the last
// flush, reporting progress as it goes. False once a write has failed.
bool writeCellRange(BlockWriter& out, const TableLayout& layout, std::int64_t first, std::int64_t count,
                    RandSequence& draws, Progress* progress);

TableLayout tableLayout(const RunSettings& settings);

// Writes what comes before the first cell: the .npy header for that format,
// nothing for the others. False once a write has failed.
bool writeTableHeader(BlockWriter& out, const RunSettings& settings);

}  // namespace gaussian_noise
