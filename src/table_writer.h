// The whole table of a run, from its first byte to its last: the header, the
// source of the draws, the threads that draw them, the cells, the last flush
// and the end of the progress report.
#pragma once

#include <cstdint>

#include "block_writer.h"
#include "progress.h"
#include "run_settings.h"
#include "threaded_cells.h"

namespace gaussian_noise {

// Seeds the C library's rand() with srand(seed) and writes the table the
// settings ask for through `out`, telling `progress` (when given) how far it
// got. The draws are rand()'s; where the tool's copy of its sequence gives
// the same draws, the copy stands in for it, in as many threads as the
// settings ask (chunks of `pairsPerChunk` pairs each), and where it does not,
// rand() is drawn from in one thread, with a word on standard error when more
// were asked for. Stops at the first failed write; false then, and
// out.error() tells why.
bool writeTable(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, Progress* progress = nullptr,
                std::uint64_t pairsPerChunk = defaultPairsPerChunk);

}  // namespace gaussian_noise
