#include "draws/rand_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace gaussian_noise {
namespace {

constexpr std::uint32_t spreadSeeds[] = {0, 1, 2, 42, 1000, 2147483647, 2147483648, 4294967295, 1733011200, 3141592653};

TEST(RandSequence, GivesTheDrawsOfTheCLibrarysRand) {
    constexpr int draws = 10'000'000;
    for (const std::uint32_t seed : spreadSeeds) {
        std::srand(seed);
        RandSequence copy(seed);
        int same = 0;
        while (same < draws && copy() == std::rand()) ++same;
        EXPECT_EQ(same, draws) << "seed " << seed << " differs from rand() at draw " << same;
    }
}

// fill() hands out words a block at a time and eight at a time: spans of
// every length from 1 to 2100 (past the groups' own batch of 512), one
// after another, each from wherever the last left off, through each kernel.
class RandSequenceKernel : public ::testing::TestWithParam<std::size_t> {
protected:
    void SetUp() override {
        if (!kernel().supported()) GTEST_SKIP() << kernel().name << " needs instructions this processor lacks";
    }
    static const GroupKernel& kernel() { return groupKernelVariants()[GetParam()]; }
};

TEST_P(RandSequenceKernel, FillGivesTheDrawsOfTheCLibrarysRand) {
    for (const std::uint32_t seed : {1U, 1733011200U}) {
        std::srand(seed);
        RandSequence copy(seed);
        std::vector<std::int32_t> drawn(2100);
        std::int64_t checked = 0;
        for (std::size_t length = 1; length <= drawn.size(); ++length) {
            copy.fill(std::span(drawn).first(length), kernel());
            for (std::size_t i = 0; i < length; ++i, ++checked) {
                ASSERT_EQ(drawn[i], std::rand()) << "seed " << seed << ", draw " << checked;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EachBuiltIn, RandSequenceKernel,
                         ::testing::Range<std::size_t>(0, groupKernelVariants().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& param) {
                             return std::string(groupKernelVariants()[param.param].name);
                         });

TEST(RandSequence, FillTakesTheFastestKernelThisProcessorRuns) {
    const std::span<const GroupKernel> kernels = groupKernelVariants();
    const auto fastest =
        std::find_if(kernels.rbegin(), kernels.rend(), [](const GroupKernel& k) { return k.supported(); });
    EXPECT_STREQ(chosenGroupKernel().name, fastest->name);
#if defined(__x86_64__)
    if (static_cast<bool>(__builtin_cpu_supports("avx512f"))) {
        EXPECT_STREQ(chosenGroupKernel().name, "avx512");
    }
#endif
}

// Distances to skip: the edges of a block of 31 words, both sides of powers
// of two, and random ones; each from a few places within a block.
std::vector<std::uint64_t> distancesUpTo(std::uint64_t largest) {
    std::vector<std::uint64_t> distances = {0, 1, 2, 3, 30, 31, 32, 33, 61, 62, 63, 93};
    for (std::uint64_t power = 64; power + 1 <= largest; power *= 2) {
        distances.insert(distances.end(), {power - 1, power, power + 1});
    }
    std::mt19937_64 random(14);
    for (int i = 0; i < 40; ++i) distances.push_back(random() % largest);
    return distances;
}
constexpr std::uint64_t drawsBefore[] = {0, 1, 29, 30, 31, 47};

TEST(RandSequence, SkipLandsWhereSteppingDoes) {
    constexpr std::uint64_t largest = 100'000'000;
    constexpr std::uint32_t seed = 1733011200;
    const std::vector<std::uint64_t> distances = distancesUpTo(largest);
    // The draws at every place a skip should land on, and the two after it.
    std::map<std::uint64_t, std::int32_t> expected;
    for (const std::uint64_t before : drawsBefore) {
        for (const std::uint64_t distance : distances) {
            for (std::uint64_t after = 0; after < 3; ++after) expected[before + distance + after] = 0;
        }
    }
    RandSequence stepping(seed);
    std::uint64_t place = 0;
    for (auto& [at, draw] : expected) {
        for (; place < at; ++place) stepping();
        draw = stepping();
        ++place;
    }
    for (const std::uint64_t before : drawsBefore) {
        for (const std::uint64_t distance : distances) {
            RandSequence skipping(seed);
            for (std::uint64_t i = 0; i < before; ++i) skipping();
            skipping.skip(distance);
            for (std::uint64_t after = 0; after < 3; ++after) {
                ASSERT_EQ(skipping(), expected.at(before + distance + after))
                    << "skip of " << distance << " after " << before << " draws, draw " << after;
            }
        }
    }
}

// Beyond what stepping can reach: two skips make their sum, and a skip
// followed by a few draws is the longer skip.
TEST(RandSequence, SkipsAgreeWithEachOtherFarAhead) {
    constexpr std::uint64_t largest = 1'000'000'000'000;
    const std::vector<std::uint64_t> distances = distancesUpTo(largest);
    std::mt19937_64 random(41);
    for (const std::uint64_t distance : distances) {
        const std::uint64_t before = drawsBefore[distance % std::size(drawsBefore)];
        const std::uint64_t other = random() % largest;
        RandSequence once(1000);
        for (std::uint64_t i = 0; i < before; ++i) once();
        RandSequence twice = once;
        RandSequence stepped = once;
        once.skip(distance + other);
        twice.skip(distance);
        twice.skip(other);
        ASSERT_EQ(once(), twice()) << distance << " + " << other;
        stepped.skip(distance);
        for (std::uint64_t steps = 0; steps < 40; ++steps) {
            RandSequence longer(1000);
            for (std::uint64_t i = 0; i < before; ++i) longer();
            longer.skip(distance + steps);
            ASSERT_EQ(stepped(), longer()) << distance << " then " << steps << " draws";
        }
    }
    // The longest skip of all, short of no overflow.
    RandSequence whole(7);
    RandSequence stepped(7);
    whole.skip(UINT64_MAX);
    stepped.skip(UINT64_MAX - 33);
    for (int i = 0; i < 33; ++i) stepped();
    EXPECT_EQ(whole(), stepped());
}

TEST(RandSequence, CLibraryRandFollowsItAndHandsOutRandsDrawsFromTheSeed) {
    for (const std::uint32_t seed : spreadSeeds) {
        std::srand(seed);
        std::vector<std::int32_t> expected(300);
        std::generate(expected.begin(), expected.end(), [] { return std::rand(); });
        CLibraryRand draws(seed);
        EXPECT_TRUE(draws.followsSequence()) << "seed " << seed;
        std::vector<std::int32_t> drawn(expected.size());
        draws.fill(std::span(drawn).first(100));
        draws.fill(std::span(drawn).subspan(100));
        EXPECT_EQ(drawn, expected) << "seed " << seed;
    }
}

}  // namespace
}  // namespace gaussian_noise
