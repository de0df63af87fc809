// Statistical checks that the generator's noise is normal with the mean and
// variance asked, and proof that the same checks reject noise that is not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <numbers>
#include <numeric>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "samples/gaussian_sample.h"

namespace gaussian_noise {
namespace {

constexpr std::size_t sampleCount = 1'000'000;

// The largest |z0| the generator can make: the smallest accepted first draw
// is 1, and sqrt(-2 ln(1 / 2147483647)) = 6.55554.
constexpr double largestStandardSample = 6.5556;

// One statistic and the bound its absolute value must stay within. A NaN
// value, as a constant sample gives for its shape, fails.
struct Check {
    std::string name;
    double value = 0.0;
    double bound = 0.0;
    [[nodiscard]] bool passed() const { return std::fabs(value) <= bound; }
};

std::string describe(const std::vector<Check>& checks) {
    std::string text;
    for (const Check& check : checks) {
        char line[160];
        (void)std::snprintf(line, sizeof line, "  %-34s %12.6g  bound %.6g  %s\n", check.name.c_str(), check.value,
                            check.bound, check.passed() ? "pass" : "REJECTED");
        text += line;
    }
    return text;
}

// The names of the checks that failed, or nothing.
std::string rejected(const std::vector<Check>& checks) {
    std::string names;
    for (const Check& check : checks) {
        if (!check.passed()) names += (names.empty() ? "" : ", ") + check.name;
    }
    return names;
}

// Correlation of each value with the next one, around the overall mean.
double neighbourCorrelation(std::span<const double> values) {
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    double products = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double d = values[i] - mean;
        squares += d * d;
        if (i + 1 < values.size()) products += d * (values[i + 1] - mean);
    }
    return products / squares;
}

// Tests the samples against a normal distribution of the given mean and
// variance. Each bound but two is five standard errors of its statistic when
// the samples are independent draws of that distribution, which sound noise
// exceeds by chance about once in two million tries; the Kolmogorov–Smirnov
// bound is its critical value at the 0.1% level, and no sample of the
// generator can lie beyond the largest |z0|.
std::vector<Check> normalityChecks(std::span<const float> samples, double mean, double variance) {
    const auto n = static_cast<double>(samples.size());
    const double sd = std::sqrt(variance);

    const double sampleMean = std::accumulate(samples.begin(), samples.end(), 0.0) / n;
    double m2 = 0.0;
    double m3 = 0.0;
    double m4 = 0.0;
    for (const float x : samples) {
        const double d = x - sampleMean;
        m2 += d * d;
        m3 += d * d * d;
        m4 += d * d * d * d;
    }
    m2 /= n;
    m3 /= n;
    m4 /= n;
    const double sampleVariance = m2 * n / (n - 1.0);

    std::vector<double> z(samples.size());
    std::transform(samples.begin(), samples.end(), z.begin(), [&](float x) { return (x - mean) / sd; });
    std::vector<double> zSquared(z.size());
    std::transform(z.begin(), z.end(), zSquared.begin(), [](double v) { return v * v; });
    const double correlation = neighbourCorrelation(z);
    const double squaresCorrelation = neighbourCorrelation(zSquared);

    // A sample is mean + sqrtf(variance) * z0 in float: three roundings of at
    // most u each can carry it past the largest z0 by a hair.
    constexpr double u = std::numeric_limits<float>::epsilon() / 2.0;
    const double roundedLargest = largestStandardSample * (1.0 + u) * (1.0 + u);
    const double largestBound = roundedLargest + u * (std::fabs(mean) / sd + roundedLargest);

    std::sort(z.begin(), z.end());
    const double largest = std::max(-z.front(), z.back());
    double distance = 0.0;  // largest gap between the sample's CDF and the normal CDF
    for (std::size_t i = 0; i < z.size(); ++i) {
        const double cdf = 0.5 * std::erfc(-z[i] / std::numbers::sqrt2);
        const auto below = static_cast<double>(i);
        distance = std::max({distance, cdf - below / n, (below + 1.0) / n - cdf});
    }
    constexpr double alpha = 1e-3;

    return {
        {"mean - asked mean", sampleMean - mean, 5.0 * std::sqrt(variance / n)},
        {"variance - asked variance", sampleVariance - variance,
         5.0 * std::sqrt(2.0 * variance * variance / (n - 1.0))},
        {"skewness", m3 / std::pow(m2, 1.5), 5.0 * std::sqrt(6.0 / n)},
        {"excess kurtosis", m4 / (m2 * m2) - 3.0, 5.0 * std::sqrt(24.0 / n)},
        {"Kolmogorov-Smirnov distance", distance, std::sqrt(-std::log(alpha / 2.0) / 2.0) / std::sqrt(n)},
        {"largest |sample - mean| / sd", largest, largestBound},
        {"neighbour correlation", correlation, 5.0 / std::sqrt(n)},
        {"neighbour correlation of squares", squaresCorrelation, 5.0 / std::sqrt(n)},
    };
}

// The generator's own noise, from the process-wide rand sequence.

struct Setting {
    float mean;
    float variance;
    unsigned seed;
};

void PrintTo(const Setting& setting, std::ostream* out) {
    *out << "mean " << setting.mean << ", variance " << setting.variance << ", seed " << setting.seed;
}

class GeneratorNoise : public ::testing::TestWithParam<Setting> {};

TEST_P(GeneratorNoise, IsNormalWithTheAskedMeanAndVariance) {
    const Setting setting = GetParam();
    std::srand(setting.seed);
    std::vector<float> samples(sampleCount);
    std::generate(samples.begin(), samples.end(),
                  [&] { return generateGaussianNoise(setting.mean, setting.variance); });

    const std::vector<Check> checks = normalityChecks(samples, setting.mean, setting.variance);
    const std::string report = describe(checks);
    std::printf("%s:\n%s", ::testing::PrintToString(setting).c_str(), report.c_str());
    EXPECT_EQ(rejected(checks), "");  // the report above has the numbers
}

INSTANTIATE_TEST_SUITE_P(Statistics, GeneratorNoise,
                         ::testing::Values(Setting{0.0F, 1.0F, 1U}, Setting{5.0F, 0.25F, 20261208U},
                                           Setting{-3.0F, 16.0F, 4242U}));

// Correlation of two equally long sequences, cell by cell.
double cellByCellCorrelation(std::span<const double> a, std::span<const double> b) {
    const auto n = static_cast<double>(a.size());
    const double meanA = std::accumulate(a.begin(), a.end(), 0.0) / n;
    const double meanB = std::accumulate(b.begin(), b.end(), 0.0) / n;
    double products = 0.0;
    double squaresA = 0.0;
    double squaresB = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        products += (a[i] - meanA) * (b[i] - meanB);
        squaresA += (a[i] - meanA) * (a[i] - meanA);
        squaresB += (b[i] - meanB) * (b[i] - meanB);
    }
    return products / std::sqrt(squaresA * squaresB);
}

// The tables of neighbouring seeds are unrelated: the samples of seed s and
// seed s + 1, cell by cell, are no more correlated than independent noise
// (five standard errors).
TEST(NearbySeeds, GiveUncorrelatedTables) {
    auto table = [](unsigned seed) {
        std::srand(seed);
        std::vector<double> samples(sampleCount);
        std::generate(samples.begin(), samples.end(), [] { return generateGaussianNoise(0.0F, 1.0F); });
        return samples;
    };
    std::vector<double> previous = table(1U);
    for (unsigned seed = 2U; seed <= 9U; ++seed) {
        std::vector<double> current = table(seed);
        const double r = cellByCellCorrelation(previous, current);
        std::printf("seeds %u and %u: correlation %.6f\n", seed - 1U, seed, r);
        EXPECT_LE(std::fabs(r), 5.0 / std::sqrt(static_cast<double>(sampleCount))) << seed - 1U << ' ' << seed;
        previous = std::move(current);
    }
}

// The C library's rand is an additive lagged-Fibonacci generator: each draw
// is the sum of the draws 3 and 31 places before it, modulo 2^31, or that
// plus one, the carry out of the low bit that every draw drops from its word.
TEST(CLibraryGenerator, EachDrawIsTheSumOfTheDraws3And31PlacesBefore) {
    std::srand(20261208U);
    std::vector<std::uint32_t> draws(sampleCount);
    std::generate(draws.begin(), draws.end(), [] { return static_cast<std::uint32_t>(std::rand()); });
    constexpr std::uint32_t mask = 0x7fffffffU;  // modulo 2^31
    std::size_t sums = 0;
    std::size_t carried = 0;
    for (std::size_t i = 31; i < draws.size(); ++i) {
        const std::uint32_t sum = (draws[i - 3] + draws[i - 31]) & mask;
        if (draws[i] == sum) {
            ++sums;
        } else if (draws[i] == ((sum + 1U) & mask)) {
            ++carried;
        } else {
            ADD_FAILURE() << "draw " << i << " is " << draws[i] << ", not " << sum << " or one more";
            break;
        }
    }
    const auto checked = static_cast<double>(draws.size() - 31);
    std::printf("%zu draws: the sum %.4f, the sum plus one %.4f\n", draws.size() - 31,
                static_cast<double>(sums) / checked, static_cast<double>(carried) / checked);
    EXPECT_EQ(sums + carried, draws.size() - 31);
    // The carry comes when both dropped bits are 1: about one draw in four.
    EXPECT_NEAR(static_cast<double>(carried) / checked, 0.25, 0.01);
}

// Noise that is wrong in one way or another, all asked for as mean 0 and
// variance 1. Each must be rejected by the checks named with it.

// Draws 0..2147483647 like rand, from a generator of its own.
class Draws {
public:
    explicit Draws(std::uint32_t seed) : engine_(seed) {}
    int operator()() { return static_cast<int>(engine_() >> 1U); }
    double uniform() { return (operator()() + 0.5) / 2147483648.0; }  // in (0, 1)

private:
    std::mt19937 engine_;
};

using Source = std::function<float(Draws&)>;

struct WrongNoise {
    const char* name;
    Source sample;
    std::vector<std::string> rejectedBy;
};

void PrintTo(const WrongNoise& noise, std::ostream* out) { *out << noise.name; }

constexpr double tau = 2.0 * std::numbers::pi;

std::vector<float> drawSamples(const Source& source, std::uint32_t seed) {
    Source sample = source;  // a copy, so that a source with state starts afresh
    Draws draws(seed);
    std::vector<float> samples(sampleCount);
    std::generate(samples.begin(), samples.end(), [&] { return sample(draws); });
    return samples;
}

class WrongNoiseIsRejected : public ::testing::TestWithParam<WrongNoise> {};

TEST_P(WrongNoiseIsRejected, ByTheChecksThatLookForItsFault) {
    const WrongNoise& noise = GetParam();
    const std::vector<Check> checks = normalityChecks(drawSamples(noise.sample, 7U), 0.0, 1.0);
    const std::string report = describe(checks);
    std::printf("%s:\n%s", noise.name, report.c_str());
    for (const std::string& name : noise.rejectedBy) {
        const auto check = std::find_if(checks.begin(), checks.end(), [&](const Check& c) { return c.name == name; });
        ASSERT_NE(check, checks.end()) << name;
        EXPECT_FALSE(check->passed()) << name;
    }
}

// The same checks on sound noise from the same draws, so that a rejection
// above is due to the fault and not to the draws.
TEST(SoundNoise, PassesOnTheDrawsTheWrongNoiseUses) {
    const Source sound = [](Draws& draws) { return gaussianSample(0.0F, 1.0F, draws); };
    const std::vector<Check> checks = normalityChecks(drawSamples(sound, 7U), 0.0, 1.0);
    EXPECT_EQ(rejected(checks), "") << describe(checks);
}

INSTANTIATE_TEST_SUITE_P(
    Statistics, WrongNoiseIsRejected,
    ::testing::Values(
        WrongNoise{"a constant", [](Draws&) { return 0.0F; }, {"variance - asked variance", "excess kurtosis"}},
        WrongNoise{"uniform with the same mean and variance",
                   [](Draws& draws) { return static_cast<float>(std::sqrt(3.0) * (2.0 * draws.uniform() - 1.0)); },
                   {"excess kurtosis", "Kolmogorov-Smirnov distance"}},
        WrongNoise{"Laplace with the same mean and variance",
                   [](Draws& draws) {
                       const double v = draws.uniform() - 0.5;
                       return static_cast<float>(-std::copysign(std::log(1.0 - 2.0 * std::fabs(v)), v) /
                                                 std::numbers::sqrt2);
                   },
                   {"excess kurtosis", "Kolmogorov-Smirnov distance", "largest |sample - mean| / sd"}},
        WrongNoise{"normal with variance 1.1",
                   [](Draws& draws) { return gaussianSample(0.0F, 1.1F, draws); },
                   {"variance - asked variance", "Kolmogorov-Smirnov distance"}},
        WrongNoise{"Box-Muller with the sine and half the angle",
                   [](Draws& draws) {
                       const double u1 = draws.uniform();
                       const double u2 = draws.uniform();
                       return static_cast<float>(std::sqrt(-2.0 * std::log(u1)) * std::sin(tau / 2.0 * u2));
                   },
                   {"mean - asked mean", "variance - asked variance", "skewness", "Kolmogorov-Smirnov distance"}},
        WrongNoise{"normal, each sample 0.01 correlated with the one before",
                   [previous = 0.0](Draws& draws) mutable {
                       constexpr double rho = 0.01;
                       const double fresh = gaussianSample(0.0F, 1.0F, draws);
                       previous = rho * previous + std::sqrt(1.0 - rho * rho) * fresh;
                       return static_cast<float>(previous);
                   },
                   {"neighbour correlation"}},
        WrongNoise{"Box-Muller reusing the second draw as the next first",
                   [previous = 0.0](Draws& draws) mutable {
                       const double u1 = previous > 0.0 ? previous : draws.uniform();
                       previous = draws.uniform();
                       return static_cast<float>(std::sqrt(-2.0 * std::log(u1)) * std::cos(tau * previous));
                   },
                   {"neighbour correlation of squares"}}),
    [](const ::testing::TestParamInfo<WrongNoise>& test) {
        std::string name = test.param.name;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
        return name;
    });

}  // namespace
}  // namespace gaussian_noise
