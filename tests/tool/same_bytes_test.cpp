// The tables for fixed seeds, held to digests recorded on x86-64 so that every
// architecture the tests run on must write the same bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <ostream>
#include <string>
#include <string_view>

#include "run_tool.h"
#include "samples/gaussian_sample.h"

namespace gaussian_noise::testing {
namespace {

std::uint64_t fnv1a64(std::string_view bytes) {
    return std::accumulate(
        bytes.begin(), bytes.end(), std::uint64_t{0xcbf29ce484222325},
        [](std::uint64_t digest, char byte) { return (digest ^ static_cast<unsigned char>(byte)) * 0x100000001b3; });
}

// A table's size and FNV-1a 64 digest as tools/reference_table.py --digest
// prints them on x86-64 (Debian 12, glibc 2.36), where they equal the
// tool's file for the same second; `begins` is how its first row begins.
struct Golden {
    const char* name;
    unsigned seed;
    TableShape shape;
    std::size_t size;
    std::uint64_t digest;
    std::string_view begins;
};

constexpr float infinity = std::numeric_limits<float>::infinity();
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();

const Golden goldens[] = {
    {"standard_normal_million_cells",
     1700000000,
     {0.0F, 1.0F, 1000, 1000},
     9160824,
     0x2220ce64b6419c46,
     "-0.522493,-1.95519,-0.6477,"},
    {"shifted_and_narrowed", 1, {-2.5F, 0.7F, 40, 60}, 21472, 0x46e0a8f1c7cbf758, "-2.88896,-2.32467,"},
    {"largest_variance", 2, {0.0F, 3.4e38F, 100, 100}, 124030, 0x375acc028e606978, "5.69243e+18,2.93206e+19,"},
    {"mean_1e30", 3, {1e30F, 3.4e38F, 10, 10}, 609, 0x37bde890955e8bdd, "1e+30,1e+30,"},
    {"smallest_variance", 4, {0.0F, 1e-45F, 100, 100}, 124004, 0x8c1625207b7f9c46, "1.04153e-23,-4.31006e-24,"},
    {"mean_minus_1e_minus_30", 5, {-1e-30F, 0.0F, 1, 700}, 4900, 0x4e3f88e12a4f71c9, "-1e-30,-1e-30,"},
    {"subnormal_mean", 6, {1e-40F, 0.0F, 500, 1}, 6499, 0xae0423cbdc231b71, "9.99995e-41,\n"},
    {"smallest_subnormal_mean", 7, {-1.4e-45F, 0.0F, 2, 3}, 73, 0xd880e57cd0eb5bdb, "-1.4013e-45,"},
    {"tie_rounding_to_1e06", 8, {999999.5F, 0.0F, 3, 4}, 74, 0xb35f7fc30145fdb5, "1e+06,1e+06,"},
    {"infinite_mean", 9, {infinity, 1.0F, 3, 3}, 38, 0xfa99478ffb1f0ce2, "inf,inf,"},
    {"negative_infinite_mean", 10, {-infinity, 1.0F, 3, 3}, 47, 0xb6fa54c3db9980bd, "-inf,-inf,"},
    {"nan_mean", 11, {notANumber, 1.0F, 3, 3}, 38, 0xee295792af5adb10, "nan,nan,"},
    {"negative_nan_mean", 12, {-notANumber, 1.0F, 3, 3}, 47, 0x15d48e530a8e98eb, "-nan,-nan,"},
    {"infinite_variance", 13, {0.0F, infinity, 30, 30}, 4088, 0x1b66f2d687c7e1ec, "-inf,inf,-inf,"},
    {"infinite_mean_and_variance", 14, {infinity, infinity, 30, 30}, 4085, 0x009b79d1e25438b1, "-nan,-nan,"},
    {"negative_infinite_mean_infinite_variance",
     15,
     {-infinity, infinity, 30, 30},
     4529,
     0x19f45060d5e64f19,
     "-inf,-inf,-nan,"},
    // Cell 221 is inf * 0, a NaN of the product's, where the mean is a NaN too.
    {"nan_mean_infinite_variance", 515371, {notANumber, infinity, 1, 400}, 1601, 0x73d607b6c80553f8, "nan,nan,"},
};

void PrintTo(const Golden& golden, std::ostream* out) { *out << golden.name; }

class TableForSeed : public ::testing::TestWithParam<Golden> {};

TEST_P(TableForSeed, HasTheRecordedBytes) {
    const Golden& golden = GetParam();
    const std::string table = writtenTable(golden.seed, golden.shape);
    EXPECT_EQ(table.substr(0, golden.begins.size()), golden.begins);
    EXPECT_EQ(table.size(), golden.size);
    EXPECT_EQ(fnv1a64(table), golden.digest) << std::hex << "digest 0x" << fnv1a64(table);
}

INSTANTIATE_TEST_SUITE_P(SameBytes, TableForSeed, ::testing::ValuesIn(goldens),
                         [](const ::testing::TestParamInfo<Golden>& golden) { return std::string(golden.param.name); });

TEST(SameBytes, DigestIsFnv1a64) {
    // Published FNV-1a 64 test vectors.
    EXPECT_EQ(fnv1a64(""), 0xcbf29ce484222325U);
    EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cU);
    EXPECT_EQ(fnv1a64("foobar"), 0x85944171f73967e8U);
}

// One sample from two scripted draws: 12345 then 1073741823 (half the range,
// an angle of pi) give a normal sample near -2, a first draw at the top of the
// range a radius, and so a normal sample, of 0.
float sampleFrom(int first, int second, float mean, float variance) {
    // Read at run time: the compiler would otherwise work the sample out
    // itself, and its constant arithmetic may choose other signs for a NaN.
    const volatile float runtimeMean = mean;
    const volatile float runtimeVariance = variance;
    bool firstTaken = false;
    return gaussianSample(runtimeMean, runtimeVariance, [&] {
        const int draw = firstTaken ? second : first;
        firstTaken = true;
        return draw;
    });
}

TEST(SameBytes, ANaNTheArithmeticMakesIsNegativeAsOnX8664) {
    for (const float made :
         {sampleFrom(12345, 1073741823, infinity, infinity), sampleFrom(2147483647, 5, 0.0F, infinity)}) {
        EXPECT_TRUE(std::isnan(made));
        EXPECT_TRUE(std::signbit(made));
    }
    // A NaN mean passes through with its own sign, but for a NaN the product makes.
    EXPECT_FALSE(std::signbit(sampleFrom(12345, 1073741823, notANumber, 1.0F)));
    EXPECT_TRUE(std::signbit(sampleFrom(12345, 1073741823, -notANumber, 1.0F)));
    EXPECT_TRUE(std::signbit(sampleFrom(2147483647, 5, notANumber, infinity)));
}

}  // namespace
}  // namespace gaussian_noise::testing
