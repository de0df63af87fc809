// The noise table drawn and written by several threads, byte for byte the
// table of one thread: workers draw and write chunks of it into buffers, and
// the calling thread alone hands them to the output, in order.
#pragma once

#include <cstdint>

#include "block_writer.h"
#include "progress.h"
#include "run_settings.h"

namespace gaussian_noise {

// Pairs of draws per chunk: about 0.35 MB of text and a millisecond of work.
inline constexpr std::uint64_t defaultPairsPerChunk = std::uint64_t{1} << 15;

// Writes the table of `seed` (the C library's rand sequence after srand(seed))
// through `out` with `workers` threads drawing, each chunk of the sequence
// `pairsPerChunk` pairs of draws long. Small tables are written by the
// calling thread alone. Stops at the first failed write, and every worker
// with it; false then, and out.error() tells why.
bool writeThreadedNoiseTable(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, unsigned workers,
                             std::uint64_t pairsPerChunk = defaultPairsPerChunk, Progress* progress = nullptr);

// The processors this process may run on, at least 1.
unsigned availableProcessors();

}  // namespace gaussian_noise
