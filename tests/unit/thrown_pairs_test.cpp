// The scan for pairs thrown away (a first draw of 0), against the draws of
// the C library's rand() itself: the pair by pair and group by group search,
// the eight sequences side by side, and the count over threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
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

// Each scan kernel built in, on its own.
class ScanKernelLanes : public ::testing::TestWithParam<std::size_t> {
protected:
    void SetUp() override {
        if (!kernel().supported()) GTEST_SKIP() << kernel().name << " needs instructions this processor lacks";
    }
    static const ScanKernel& kernel() { return scanKernelVariants()[GetParam()]; }
};

TEST_P(ScanKernelLanes, SequencesSideBySideAreEachTheSequence) {
    constexpr std::uint64_t pairs = std::uint64_t{RandSequence::lag} * 64;
    // Starts in multiples of 31 pairs; of seed 376's, only the ones at 409200
    // (lanes 2 and 13) pass pair 410216.
    constexpr std::array<std::uint64_t, scanLanes> starts = {
        0,     31,     409'200, 408'208, 410'223, 62'000, 12'400, 310, 93, 217, std::uint64_t{400'000} / 31 * 31,
        3'100, 31'000, 409'200, 620,     410'254};
    std::array<RandSequence, scanLanes> sequences = sameSequences<scanLanes>(RandSequence(seed));
    for (std::size_t k = 0; k < starts.size(); ++k) sequences[k].skip(2 * starts[k]);
    // The last lane is seed 102769's, whose pair 268847 begins with the last
    // word of a block of 31 (2 * 268847 = 30 past a multiple of 31).
    constexpr std::uint64_t lastWordStart = 268'847 / 31 * 31 - 31 * 20;
    RandSequence lastWordLane(102'769);
    lastWordLane.skip(2 * lastWordStart);
    sequences.back() = lastWordLane;
    EXPECT_EQ(advanceSideBySide(sequences, pairs, kernel()), 1U << 2U | 1U << 13U | 1U << (scanLanes - 1));
    for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
        const std::uint64_t draw = 2 * (starts[k] + pairs);
        EXPECT_EQ(sequences[k](), randDraws()[draw]) << "lane " << k;
        EXPECT_EQ(sequences[k](), randDraws()[draw + 1]) << "lane " << k;
    }
    lastWordLane.skip(2 * pairs);
    EXPECT_EQ(sequences.back()(), lastWordLane()) << "the last lane";
}

INSTANTIATE_TEST_SUITE_P(EachBuiltIn, ScanKernelLanes, ::testing::Range<std::size_t>(0, scanKernelVariants().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& param) {
                             return std::string(scanKernelVariants()[param.param].name);
                         });

// Ranges long enough for three threads of all their lanes each, and short ones,
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

// A range keeps only so many found pairs; one that finds more goes on from
// where its room ran out, and the pairs still come in order, each once.
// With a room of one, every range that holds the pair fills up there.
TEST(ThrownPairs, ARangeThatFillsUpIsScannedOnFromWhereItStopped) {
    for (const std::size_t capacity : {std::size_t{1}, std::size_t{2}}) {
        for (const unsigned threads : {1U, 2U, 3U}) {
            for (const std::uint64_t first : {std::uint64_t{0}, thrown - 40'000, thrown - 1, thrown}) {
                std::vector<std::uint64_t> found;
                std::vector<std::uint64_t> reports;
                forEachThrownPair(
                    seed, first, pairsKnown, threads, [&](std::uint64_t pair) { found.push_back(pair); },
                    [&](std::uint64_t scanned) { reports.push_back(scanned); }, capacity);
                EXPECT_EQ(found, std::vector<std::uint64_t>{thrown}) << first << ", " << threads << " threads";
                ASSERT_FALSE(reports.empty());
                EXPECT_EQ(reports.back(), pairsKnown) << "the last report is the whole range";
            }
        }
    }
}

// Seed 430 throws away pairs 1440583932 and 1440867727, 283795 apart: in
// one lane of one thread, a room of one fills at the first, and the second
// is found by the scan that goes on from there.
TEST(ThrownPairs, TwoPairsInARangeOfRoomForOneAreBothFound) {
    constexpr std::array<std::uint64_t, 2> pairs = {1440583932, 1440867727};
    for (const std::uint64_t pair : pairs) {
        RandSequence sequence(430);
        sequence.skip(2 * pair);
        ASSERT_EQ(sequence(), 0) << pair << ": the pair's first draw is 0";
    }
    const std::uint64_t from = (pairs[0] - 100) / RandSequence::lag * RandSequence::lag;
    constexpr std::uint64_t lanePairs = std::uint64_t{1984} * 145;  // more than the pairs are apart
    const std::uint64_t to = from + scanLanes * lanePairs;
    for (const std::size_t capacity : {std::size_t{1}, std::size_t{2}, maxFoundPerRange}) {
        std::vector<std::uint64_t> found;
        forEachThrownPair(
            430, from, to, 1, [&](std::uint64_t pair) { found.push_back(pair); }, {}, capacity);
        EXPECT_EQ(found, std::vector<std::uint64_t>(pairs.begin(), pairs.end())) << "room for " << capacity;
    }
}

// The pair that closes a window of a lane's looks is looked at: seed 7
// throws away pair 25261531502, 30 past a multiple of 31, so that a lane
// starting 1983 pairs before it ends its first window there.
TEST(ThrownPairs, ThePairThatEndsALanesWindowIsFound) {
    constexpr std::uint64_t last = 25'261'531'502;
    RandSequence sequence(7);
    sequence.skip(2 * last);
    ASSERT_EQ(sequence(), 0) << "the pair's first draw is 0";
    const std::uint64_t first = last - 1983;
    ASSERT_EQ(first % RandSequence::lag, 0U);
    std::vector<std::uint64_t> found;
    forEachThrownPair(7, first, first + std::uint64_t{scanLanes} * 1984, 1,
                      [&](std::uint64_t pair) { found.push_back(pair); });
    EXPECT_EQ(found, std::vector<std::uint64_t>{last});
}

// The scan before a cell tells how far it got, in cells: the last word is the cell.
TEST(ThrownPairs, TheScanForACellReportsTheCellsPassed) {
    std::vector<std::int64_t> reports;
    const auto cell = static_cast<std::int64_t>(thrown + 1);
    EXPECT_EQ(pairOfCellByScan(seed, cell, 2, {}, [&](std::int64_t cells) { reports.push_back(cells); }), thrown + 2);
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), cell);
}

}  // namespace
}  // namespace gaussian_noise
