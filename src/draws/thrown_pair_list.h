// The list of the pairs of draws a table throws away, as a file: written
// once by a scan of the whole table (--list-thrown-pairs), read instead of
// a scan to find the pair a part's or range's first cell comes from
// (--thrown-pairs). A header line names the seed and the table's cells;
// then each thrown pair's index, counted from 0, on a line of its own; then
// "end: N pairs, digest D", D the FNV-1a digest of the seed, the cells and
// the pairs as 64-bit little-endian words, in 16 hexadecimal digits.
#pragma once

#include <cstdint>
#include <string_view>

#include "cli/messages.h"
#include "function_ref.h"
#include "io/output.h"

namespace gaussian_noise {

// The pair cell `cell` of a table is drawn from, with the thrown pairs read
// from the list `listName` names, written by writeThrownPairList for the
// same seed and a table of at least `cell` cells. The list is read to its
// end and used only whole and as it was written: its closing line counts
// its pairs and names their digest. On failure, `error` says why, with the
// system's reason where a read failed.
struct ListedPair {
    std::uint64_t pair = 0;
    Message error;  // empty on success
};
ListedPair pairOfCellFromList(std::string_view listName, std::uint32_t seed, std::int64_t cell);

// Writes the list of the pairs thrown away before cell `cells` of the table
// of `seed`, scanning with up to `threads` threads and telling `progress`
// the cells scanned now and then: the header, the pairs, and the closing
// line, which says the list is whole.
bool writeThrownPairList(BlockWriter& out, std::uint32_t seed, std::int64_t cells, unsigned threads,
                         FunctionRef<void(std::int64_t)> progress = {});

}  // namespace gaussian_noise
