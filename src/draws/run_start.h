// Where a run starts in the table its seed and four values define: the rows
// it writes (all, a part or a range), how many cells that is against the
// whole table's, the first of them, and the pair of draws after srand(seed)
// that first cell comes from, found by a scan of the sequence or read from
// a list of thrown pairs; and the threads the run draws and scans with.
#pragma once

#include <cstdint>
#include <optional>

#include "cli/run_settings.h"

namespace gaussian_noise {

// The rows a run writes: the first (counted from 0 in the whole table) and how many.
struct RowSpan {
    std::int64_t first = 0;
    std::int64_t count = 0;
};
RowSpan runRows(const RunSettings& settings);

// The cells the run writes (all the table's, a part's or a range's): 0 when
// either count is 0 or less.
std::int64_t runCellCount(const RunSettings& settings);

// The cells of the whole table, whatever rows the run writes.
std::int64_t tableCellCount(const RunSettings& settings);

// The index, in the whole table, of the first cell the run writes.
std::int64_t firstCellOf(const RunSettings& settings);

// The pair of draws after srand(seed) that the run's first cell comes
// from: after as many pairs as cells before it, and the pairs thrown away
// among them, which are scanned for, or read from the list the settings
// name. Empty where that list cannot be used, with the reason reported on
// standard error.
std::optional<std::uint64_t> firstPairOf(const RunSettings& settings, std::uint32_t seed);

// The threads the run draws (and scans) with: --threads, or for 0 one per
// processor the process may run on, at most maxThreads.
unsigned drawingThreads(const RunSettings& settings);

// The processors this process may run on, at least 1.
unsigned availableProcessors();

}  // namespace gaussian_noise
