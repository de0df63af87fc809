// The generator's arithmetic against an account of it written apart
// (reference_noise.cpp), and against digests of its first samples for fixed
// seeds that the reference computed once. A step taken at another precision,
// a fused multiply-add or draws taken in another order change samples here.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "reference_noise.h"
#include "samples/gaussian_sample.h"

namespace gaussian_noise {
namespace {

struct Distribution {
    float mean;
    float variance;
};

// A zero and a unit variance hide a step taken in double after the radius:
// only a mean and a standard deviation that are not round numbers show it.
constexpr std::array<Distribution, 7> distributions{{
    {0.0F, 1.0F},
    {1.7F, 3.3F},
    {-2.5F, 0.7F},
    {1000.0F, 0.01F},
    {-3.0F, 16.0F},
    {0.001F, 123456.0F},
    {5.0F, 0.0F},
}};

// The generator fed exactly one pair of draws; more would mean it rejected the pair.
float generatorSample(int first, int second, const Distribution& distribution) {
    const std::array<int, 2> draws{first, second};
    std::size_t taken = 0;
    return gaussianSample(distribution.mean, distribution.variance, [&] {
        if (taken == draws.size()) throw std::logic_error("the generator rejected a pair with a non-zero first draw");
        return draws[taken++];
    });
}

// Pairs of draws: every pairing of the edges of the range, then pairs spread
// over the whole range by the standard's minimal-standard generator.
std::vector<std::array<int, 2>> drawPairs() {
    // The first draw's 1 gives the largest radius; from 2147483583 up the
    // uniform value rounds to 1 and the radius is 0; 2147483582 is just below.
    constexpr std::array<int, 9> firsts{1, 2, 3, 1000, 2147483582, 2147483583, 2147483584, 2147483646, 2147483647};
    constexpr std::array<int, 9> seconds{0,          1,          2,          536870912, 1073741823,
                                         1073741824, 1610612736, 2147483646, 2147483647};
    std::vector<std::array<int, 2>> pairs;
    for (std::size_t i = 0; i < firsts.size() * seconds.size(); ++i) {
        pairs.push_back({firsts[i / seconds.size()], seconds[i % seconds.size()]});
    }
    std::minstd_rand spread(20261208);  // values 1..2147483646
    for (int i = 0; i < 50'000; ++i) {
        const auto first = static_cast<int>(spread());
        const auto second = static_cast<int>(spread()) - 1;
        pairs.push_back({first, second});
    }
    return pairs;
}

std::string hexFloat(float value) {
    char text[32];
    const int size = std::snprintf(text, sizeof text, "%a", static_cast<double>(value));
    return {text, static_cast<std::size_t>(size)};
}

TEST(GeneratorAgainstReference, AgreesBitForBitOnEdgeAndSpreadDraws) {
    const std::vector<std::array<int, 2>> pairs = drawPairs();
    for (const Distribution& distribution : distributions) {
        std::size_t differing = 0;
        std::string firstDifference;
        for (const auto& [first, second] : pairs) {
            const float expected = reference::sampleFromDraws(first, second, distribution.mean, distribution.variance);
            const float actual = generatorSample(first, second, distribution);
            if (std::bit_cast<std::uint32_t>(actual) == std::bit_cast<std::uint32_t>(expected)) continue;
            if (differing++ == 0) {
                firstDifference = "draws " + std::to_string(first) + ", " + std::to_string(second) + ": " +
                                  hexFloat(actual) + " instead of " + hexFloat(expected);
            }
        }
        EXPECT_EQ(differing, 0U) << "mean " << distribution.mean << ", variance " << distribution.variance
                                 << ", first of them " << firstDifference;
    }
}

// FNV-1a, 64 bits, over the bytes of each sample's bit pattern, low byte first.
template <typename NextSample>
std::uint64_t digestOfSamples(int count, NextSample next) {
    std::uint64_t hash = 0xcbf29ce484222325U;
    for (int i = 0; i < count; ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(next());
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (bits >> shift) & 0xFFU;
            hash *= 0x100000001b3U;
        }
    }
    return hash;
}

TEST(GeneratorAgainstReference, FirstSamplesOfFixedSeedsMatchTheirDigests) {
    struct Golden {
        unsigned seed;
        Distribution distribution;
        std::uint64_t digest;  // of the first 10^5 samples, computed once by the reference
    };
    constexpr std::array<Golden, 4> goldens{{
        {1, {0.0F, 1.0F}, 0x3fc71792dc2667c8U},
        {20261208, {1.7F, 3.3F}, 0xe2194c50db9df879U},
        {4242, {-2.5F, 0.7F}, 0x6e12b5bcb8e294d3U},
        {1700000000, {1000.0F, 0.01F}, 0x9fd639543260f3c9U},
    }};
    constexpr int count = 100'000;
    for (const Golden& golden : goldens) {
        const Distribution& asked = golden.distribution;
        std::srand(golden.seed);
        EXPECT_EQ(digestOfSamples(count, [&] { return generateGaussianNoise(asked.mean, asked.variance); }),
                  golden.digest)
            << "generator, seed " << golden.seed;
        // The reference too, so that it cannot drift along with the generator.
        std::srand(golden.seed);
        EXPECT_EQ(digestOfSamples(count, [&] { return reference::nextSample(asked.mean, asked.variance); }),
                  golden.digest)
            << "reference, seed " << golden.seed;
    }
}

}  // namespace
}  // namespace gaussian_noise
