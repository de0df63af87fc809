// The scan for pairs thrown away (a first draw of 0), against the draws of
// the C library's rand() itself: the pair by pair and group by group search,
// the eight sequences side by side, and the count over threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "draws/rand_sequence.h"
#include "draws/thrown_pair_scan.h"

namespace gaussian_noise {
namespace {

// Seed 376 throws away pair 410216 of its sequence, its only one in the first 420000.
constexpr std::uint32_t seed = 376;
constexpr std::uint64_t thrown = 410216;
constexpr std::uint64_t pairsKnown = 420'000;

// rand()'s draws after srand(seed).
const std::vector<std::int32_t>& randDraws() {
    static const std::vector<std::int32_t> draws = [] {
        std::srand(seed);
        std::vector<std::int32_t> drawn(2 * pairsKnown + 64);
        std::generate(drawn.begin(), drawn.end(), [] { return std::rand(); });
        return drawn;
    }();
    return draws;
}

// The pairs thrown away among pairs first .. end-1, from rand()'s draws.
std::uint64_t randThrown(std::uint64_t first, std::uint64_t end) {
    std::uint64_t count = 0;
    for (std::uint64_t pair = first; pair < end; ++pair) count += randDraws()[2 * pair] == 0 ? 1 : 0;
    return count;
}

TEST(ThrownPairs, TheSeedThrowsAwayOnePairAmongThoseKnown) {
    EXPECT_EQ(randThrown(0, pairsKnown), 1U);
    EXPECT_EQ(randDraws()[2 * thrown], 0);
}

// From starts on every place within a group of four pairs and a block of 31
// words, with the limit short of the pair, at it, and past it.
TEST(ThrownPairs, FindStopsJustAfterTheFirstOneWithinTheLimit) {
    for (const std::uint64_t start :
         {0U, 1U, 2U, 3U, 15U, 16U, 31U, 409'000U, 410'199U, 410'213U, 410'216U, 410'217U}) {
        for (const std::uint64_t end : {thrown, thrown + 1, pairsKnown}) {
            if (end <= start) continue;
            RandSequence sequence(seed);
            sequence.skip(2 * start);
            const std::uint64_t passed = findThrownPair(sequence, end - start);
            const bool found = start <= thrown && thrown < end;
            EXPECT_EQ(passed, found ? thrown - start : end - start) << start << " to " << end;
            const std::uint64_t next = found ? thrown + 1 : end;
            EXPECT_EQ(sequence(), randDraws()[2 * next]) << start << " to " << end;
        }
    }
}

TEST(ThrownPairs, EightSequencesSideBySideAreEachTheSequence) {
    constexpr std::uint64_t pairs = std::uint64_t{RandSequence::lag} * 64;
    // Starts in multiples of 31 pairs; only the one at 409200 passes pair 410216.
    constexpr std::array<std::uint64_t, 8> starts = {0, 31, 409'200, 408'208, 410'223, 62'000, 12'400, 310};
    std::array<RandSequence, 8> sequences{RandSequence(seed), RandSequence(seed), RandSequence(seed),
                                          RandSequence(seed), RandSequence(seed), RandSequence(seed),
                                          RandSequence(seed), RandSequence(seed)};
    for (std::size_t k = 0; k < starts.size(); ++k) sequences[k].skip(2 * starts[k]);
    EXPECT_EQ(advanceSideBySide(sequences, pairs), 1U << 2U);
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::uint64_t draw = 2 * (starts[k] + pairs);
        EXPECT_EQ(sequences[k](), randDraws()[draw]) << "lane " << k;
        EXPECT_EQ(sequences[k](), randDraws()[draw + 1]) << "lane " << k;
    }
}

// Ranges long enough for three threads of eight lanes each, and short ones,
// with the pair at their edges and inside; and the pair of a cell.
TEST(ThrownPairs, CountedOverThreadsAndLanesAsRandDrawsThem) {
    struct Range {
        std::uint64_t first;
        std::uint64_t end;
    };
    for (const unsigned threads : {1U, 2U, 3U}) {
        for (const Range range :
             {Range{0, pairsKnown}, Range{0, thrown}, Range{0, thrown + 1}, Range{thrown, thrown + 1},
              Range{1, 300'000}, Range{17, pairsKnown}, Range{thrown + 1, pairsKnown}}) {
            std::vector<std::uint64_t> found;
            forEachThrownPair(seed, range.first, range.end, threads,
                              [&](std::uint64_t pair) { found.push_back(pair); });
            EXPECT_EQ(found.size(), randThrown(range.first, range.end))
                << range.first << " to " << range.end << ", " << threads << " threads";
        }
        EXPECT_EQ(pairOfCellByScan(seed, 0, threads), 0U);
        EXPECT_EQ(pairOfCellByScan(seed, thrown - 1, threads), thrown - 1);
        EXPECT_EQ(pairOfCellByScan(seed, thrown, threads), thrown) << "the pair thrown away comes first";
        EXPECT_EQ(pairOfCellByScan(seed, thrown + 1, threads), thrown + 2);
        EXPECT_EQ(pairOfCellByScan(seed, 400'000'000, threads), 400'000'001U) << "the next is at 1289888087";
    }
}

}  // namespace
}  // namespace gaussian_noise
