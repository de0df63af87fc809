// The table a run writes, from its first byte to its last: what it is (its
// cells, their format, the math they are computed with), the header, the
// source of the draws, the threads that draw them, the cells, and the last
// flush.
#pragma once

#include <cstdint>

#include "cli/run_settings.h"
#include "io/output.h"
#include "io/progress.h"
#include "table/cells.h"
#include "table/threaded_cells.h"

namespace gaussian_noise {

// The table the settings ask for, as its writers see it.
Table tableOf(const RunSettings& settings);

// Seeds the C library's rand() with srand(seed) and writes the rows the
// settings ask for through `out`, telling `progress` (when given) how far it
// got. `firstPair` is the pair of draws after srand(seed) that the run's
// first cell is drawn from (firstPairOf, run_start.h): 0 for the whole
// table. The draws are rand()'s; where the tool's copy of its sequence gives
// the same draws, the copy stands in for it, in as many threads as the
// settings ask (chunks of `pairsPerChunk` pairs each), and where it does not,
// rand() is drawn from in one thread, with a word on standard error when more
// were asked for. Stops at the first failed write; false then, and
// out.error() tells why.
bool writeTable(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, std::uint64_t firstPair = 0,
                Progress* progress = nullptr, std::uint64_t pairsPerChunk = defaultPairsPerChunk);

}  // namespace gaussian_noise
