// The list of the pairs of draws a table throws away, as a file: written
// once by a scan of the whole table (--list-thrown-pairs), read instead of
// a scan to find the pair a part's or range's first cell comes from
// (--thrown-pairs). A header line names the seed and the table's cells;
// then each thrown pair's index, counted from 0, on a line of its own.
#pragma once

#include <cstdint>
#include <string_view>

#include "cli/messages.h"
#include "io/output.h"

namespace gaussian_noise {

// The pair cell `cell` of a table is drawn from, with the thrown pairs read
// from the list `listName` names, written by writeThrownPairList for the
// same seed and a table of at least `cell` cells. On failure, `error` or
// `systemError` says why.
struct ListedPair {
    std::uint64_t pair = 0;
    Message error;        // empty on success
    int systemError = 0;  // errno of a failed open or read, else 0
};
ListedPair pairOfCellFromList(std::string_view listName, std::uint32_t seed, std::int64_t cell);

// Writes the list of the pairs thrown away before cell `cells` of the table
// of `seed`, scanning with up to `threads` threads.
bool writeThrownPairList(BlockWriter& out, std::uint32_t seed, std::int64_t cells, unsigned threads);

}  // namespace gaussian_noise
