#include "samples/gaussian_sample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace gaussian_noise {
namespace {

// Hands out a fixed list of draws and counts how many were taken.
class ScriptedDraws {
public:
    explicit ScriptedDraws(std::vector<int> draws) : draws_(std::move(draws)) {}
    int operator()() {
        if (taken_ == draws_.size()) throw std::out_of_range("the generator drew more than scripted");
        return draws_[taken_++];
    }
    [[nodiscard]] std::size_t taken() const { return taken_; }

private:
    std::vector<int> draws_;
    std::size_t taken_ = 0;
};

float sampleFrom(std::vector<int> draws, float mean = 0.0F, float variance = 1.0F, std::size_t* taken = nullptr) {
    ScriptedDraws source(std::move(draws));
    const float sample = gaussianSample(mean, variance, source);
    if (taken != nullptr) *taken = source.taken();
    return sample;
}

constexpr int largestDraw = 2147483647;

TEST(Generator, MatchesKnownSamplesBitForBit) {
    // Computed once with every step at its stated precision. A fused final
    // multiply-add, or a uniform value scaled in single precision, changes them.
    EXPECT_EQ(sampleFrom({12345, 999}, 1.7F, 3.3F), 0x1.53f87cp+3F);
    EXPECT_EQ(sampleFrom({12345, 105672560}, -2.5F, 0.7F), 0x1.6a4d4cp+0F);
    EXPECT_EQ(sampleFrom({12345, 999}, -2.5F, 3.3F), 0x1.9b242cp+2F);
}

TEST(Generator, FirstDrawOfZeroRejectsThePair) {
    std::size_t taken = 0;
    const float sample = sampleFrom({0, 777, 1000000, 2000000}, 0.0F, 1.0F, &taken);
    EXPECT_EQ(taken, 4U);
    EXPECT_EQ(sample, sampleFrom({1000000, 2000000}));
    // Only the first draw is tested: a second draw of 0 is accepted.
    sampleFrom({5, 0}, 0.0F, 1.0F, &taken);
    EXPECT_EQ(taken, 2U);
    // Several rejected pairs in a row.
    sampleFrom({0, 0, 0, largestDraw, 0, 1, 42, 43}, 0.0F, 1.0F, &taken);
    EXPECT_EQ(taken, 8U);
}

TEST(Generator, FirstDrawNearTheTopGivesTheMeanExactly) {
    for (const int first : {2147483583, 2147483600, largestDraw}) {
        for (const int second : {0, 1, 1073741824, largestDraw}) {
            EXPECT_EQ(sampleFrom({first, second}, 3.25F, 2.0F), 3.25F) << first << ' ' << second;
        }
    }
    // One draw lower, the uniform value stays below 1 and the sample moves.
    EXPECT_NE(sampleFrom({2147483582, 0}, 3.25F, 2.0F), 3.25F);
}

TEST(Generator, FirstDrawOfOneGivesTheLargestRadius) {
    const float largest = sampleFrom({1, 0});
    EXPECT_NEAR(largest, 6.55554F, 1e-5F);
    for (const int first : {1, 2, 1000, 123456789, largestDraw - 100}) {
        for (const int second : {0, 1, 536870912, 1073741823, 1073741824, 1610612736, largestDraw}) {
            EXPECT_LE(std::fabs(sampleFrom({first, second})), 6.5556F) << first << ' ' << second;
        }
    }
    // Half a turn: the cosine is -1.
    EXPECT_NEAR(sampleFrom({1, 1073741824}), -largest, 1e-5F);
}

TEST(Generator, SecondDrawOfZeroGivesTheRadius) {
    for (const int first : {1, 77, 1234567890, 2147483000}) {
        const double u1 = static_cast<float>(first / 2147483647.0);
        const double radius = std::sqrt(-2.0 * std::log(u1));
        const float sample = sampleFrom({first, 0});
        EXPECT_GT(sample, 0.0F);
        EXPECT_NEAR(sample, radius, 1e-6 * radius + 1e-7) << first;
    }
}

TEST(Generator, VarianceZeroGivesTheMean) {
    for (const float mean : {0.0F, 5.0F, -1e30F, 3.14159F}) {
        for (const int first : {1, 99, 1 << 30, largestDraw}) {
            EXPECT_EQ(sampleFrom({first, 12345}, mean, 0.0F), mean);
        }
    }
    // Negative zero plus a zero product is positive zero.
    EXPECT_FALSE(std::signbit(sampleFrom({99, 12345}, -0.0F, 0.0F)));
}

TEST(Generator, MeanAndVarianceShiftAndScale) {
    const float standard = sampleFrom({987654321, 123456789});
    EXPECT_NEAR(sampleFrom({987654321, 123456789}, 10.0F, 4.0F), 10.0F + 2.0F * standard, 1e-5F);
    EXPECT_EQ(sampleFrom({987654321, 123456789}, 0.0F, 4.0F), 2.0F * standard);  // exact: times a power of two
}

TEST(Generator, DrawsFromTheProcessWideSequence) {
    std::srand(20261208);
    std::vector<float> first;
    first.reserve(100);
    for (int i = 0; i < 100; ++i) first.push_back(generateGaussianNoise(1.0F, 2.0F));
    std::srand(20261208);
    std::vector<int> draws;
    draws.reserve(400);
    for (int i = 0; i < 400; ++i) draws.push_back(std::rand());
    ScriptedDraws source(draws);
    for (const float expected : first) EXPECT_EQ(gaussianSample(1.0F, 2.0F, source), expected);
    EXPECT_EQ(source.taken(), 200U);  // no zero first draw came up: two draws per sample
}

}  // namespace
}  // namespace gaussian_noise
