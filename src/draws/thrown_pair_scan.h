// The pairs of draws a table throws away (those whose first draw is 0, which
// give no sample), and so the pair of the sequence any cell is drawn from:
// found by scanning the sequence over threads, or read from a list an
// earlier run wrote.
#pragma once

#include <cstdint>
#include <string_view>

#include "cli/messages.h"
#include "io/output.h"

namespace gaussian_noise {

// The pairs thrown away among pairs `first` .. `end`-1 of the sequence after
// srand(seed), counted with up to `threads` threads, each jumping to a range
// of its own. Needs no heap: a thread that cannot start leaves its range to
// the calling thread.
std::uint64_t countThrownPairs(std::uint32_t seed, std::uint64_t first, std::uint64_t end, unsigned threads);

// The pair cell `cell` of a table is drawn from, with the thrown pairs before
// it counted by a scan: the least P for which P less the pairs thrown among
// pairs 0 .. P-1 is `cell`. (Drawing on from P, any pair thrown there is
// passed over as it is everywhere.)
std::uint64_t pairOfCell(std::uint32_t seed, std::int64_t cell, unsigned threads);

// The same, with the thrown pairs read from a list written by
// writeThrownPairList for the same seed and a table of at least `cell`
// cells. On failure, returns false with `error` saying why.
struct ListedPair {
    std::uint64_t pair = 0;
    Message error;        // empty on success
    int systemError = 0;  // errno of a failed open or read, else 0
};
ListedPair pairOfCellFromList(std::string_view listName, std::uint32_t seed, std::int64_t cell);

// Writes the list of the pairs thrown away before the table's end: the
// header line, then each pair's index (counted from 0) on a line of its own.
bool writeThrownPairList(BlockWriter& out, std::uint32_t seed, std::int64_t cells, unsigned threads);

}  // namespace gaussian_noise
