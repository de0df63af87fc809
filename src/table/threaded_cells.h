// The cells of a table drawn by several threads, byte for byte those of one:
// workers draw chunks of pairs of draws into buffers, and the calling thread
// alone hands the buffers to the output, in order.
#pragma once

#include <cstdint>

#include "io/output.h"
#include "table/cells.h"

namespace gaussian_noise {

class Progress;

// Pairs of draws per chunk: about 0.35 MB of text and a millisecond of work.
inline constexpr std::uint64_t defaultPairsPerChunk = std::uint64_t{1} << 15;

// How far the threads got.
struct ThreadedCells {
    bool written = true;      // false once a write failed; out.error() tells why
    std::int64_t cells = 0;   // handed to the output, from the table's first
    std::uint64_t pairs = 0;  // of draws those cells took from firstPair on, thrown pairs included
};

// Writes the table's cells, from its first, through `out`, with up to
// `workers` threads drawing chunks of `pairsPerChunk` pairs from the C
// library's sequence after srand(seed), from pair `firstPair` on. Returns how
// far it got: the caller writes the rest, from pair firstPair + `pairs` of
// the sequence on. That is all of the
// table where it holds fewer than two chunks or no worker could start (no
// thread, or no memory for its buffers; fewer workers do the same work), and
// the cells that thrown pairs left short at the end. Stops at the first
// failed write, and every worker with it; every worker has ended when it
// returns. Needs no more than the heap its buffers take, and throws nothing.
// One call at a time: its slots are the process's.
ThreadedCells writeThreadedCells(BlockWriter& out, const Table& table, std::uint32_t seed, std::uint64_t firstPair,
                                 unsigned workers, std::uint64_t pairsPerChunk, Progress* progress);

}  // namespace gaussian_noise
