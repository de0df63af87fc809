// The pairs of draws a table throws away (those whose first draw is 0,
// which give no sample), and so the pair of the sequence any cell is drawn
// from, found by scanning the sequence: over threads, each thread's stretch
// in eight sequences side by side in vector lanes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "draws/rand_sequence.h"
#include "function_ref.h"

namespace gaussian_noise {

// What a scan hands each thrown pair it finds to.
using FoundPair = FunctionRef<void(std::uint64_t)>;

// Told, now and then, how far a scan has got: the pairs scanned, from its
// first.
using ScanProgress = FunctionRef<void(std::uint64_t)>;

// The thrown pairs a range of a scan keeps before it hands them over.
inline constexpr std::size_t maxFoundPerRange = 16;

// Hands `found` each pair thrown away among pairs `first` .. `end`-1 of the
// sequence after srand(seed), in order, scanned with up to `threads`
// threads, each jumping to a range of its own, in rounds of a few seconds
// that each end with a word to `progress`. Needs no heap: a thread that
// cannot start leaves its range to the calling thread. Each range keeps
// `capacity` (1 to maxFoundPerRange) found pairs; one that finds more is
// scanned on from where it stopped, and no other. Runs on one thread at a
// time.
void forEachThrownPair(std::uint32_t seed, std::uint64_t first, std::uint64_t end, unsigned threads, FoundPair found,
                       ScanProgress progress = {}, std::size_t capacity = maxFoundPerRange);

// The pair cell `cell` of a table is drawn from: the least P for which P
// less the pairs thrown among pairs 0 .. P-1 is `cell`, handing `found` each
// of those thrown pairs in order, and `progress` the cells passed so far now
// and then. (Drawing on from P, any pair thrown there is passed over as it
// is everywhere.)
std::uint64_t pairOfCellByScan(std::uint32_t seed, std::int64_t cell, unsigned threads, FoundPair found = {},
                               FunctionRef<void(std::int64_t)> progress = {});

// The sequences the scan moves on side by side: sixteen in one register
// with AVX-512, eight at a time with AVX2.
inline constexpr std::size_t scanLanes = 16;

// `count` copies of `sequence`.
template <std::size_t count>
std::array<RandSequence, count> sameSequences(const RandSequence& sequence) noexcept {
    return [&]<std::size_t... k>(std::index_sequence<k...>) {
        return std::array<RandSequence, count>{((void)k, sequence)...};
    }
    (std::make_index_sequence<count>());
}

// Moves `sequence` on a pair of draws at a time, over at most `pairs` pairs,
// and stops just after the first pair whose first draw is 0. Returns the
// pairs passed before that one, `pairs` where there is none. The sequence
// must stand between two pairs. A pair at a time: for the short ranges
// around the lanes.
std::uint64_t findThrownPair(RandSequence& sequence, std::uint64_t pairs) noexcept;

// Moves each of the scanLanes sequences on by `pairs` pairs (a multiple of
// RandSequence::lag), side by side in the lanes of vector registers where
// the processor has them, without handing out a draw. Returns which of them
// may have passed a pair whose first draw is 0: bit k for sequences[k], set
// for each that did (and, once in about 2^31 pairs, for one whose second
// draw was 0: findThrownPair tells). Each sequence must stand where it did
// after a multiple of `lag` pairs from srand.
// The words of each lane's block, side by side.
using ScanLanes = std::array<RandSequence::Block, scanLanes>;

// A way to move the lanes on: `advance` moves each lane's block of words on
// by `blocks` blocks and returns the smallest word each lane passed.
struct ScanKernel {
    const char* name;
    bool (*supported)();  // whether this processor can run `advance`
    std::array<std::uint32_t, scanLanes> (*advance)(ScanLanes& lanes, std::uint64_t blocks) noexcept;
};

// Every kernel built in, the portable one first, each later one faster
// where supported; and the last supported one, which the scan uses.
std::span<const ScanKernel> scanKernelVariants() noexcept;
const ScanKernel& chosenScanKernel() noexcept;

unsigned advanceSideBySide(std::span<RandSequence, scanLanes> sequences, std::uint64_t pairs,
                           const ScanKernel& kernel = chosenScanKernel()) noexcept;

}  // namespace gaussian_noise
