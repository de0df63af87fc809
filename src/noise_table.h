// The noise table: rows of comma-terminated samples, line feeds between rows,
// or the samples in binary, row after row.
#pragma once

#include "block_writer.h"
#include "progress.h"
#include "run_settings.h"

namespace gaussian_noise {

// Draws one sample per cell, row by row, and writes the table through `out`
// in the settings' format and cell text, telling `progress` (when given) how far it got.
// Stops at the first failed write; false then, and out.error() tells why.
bool writeNoiseTable(BlockWriter& out, const RunSettings& settings, Progress* progress = nullptr);

}  // namespace gaussian_noise
