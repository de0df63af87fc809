#include "number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace gaussian_noise {
namespace {

std::string general(float value) {
    char text[generalRoom];
    return {text, writeGeneral(text, value)};
}

std::string printfGeneral(float value) {
    char text[64];
    const int size = std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return {text, static_cast<std::size_t>(size)};
}

float fromBits(std::uint32_t bits) { return std::bit_cast<float>(bits); }

TEST(NumberText, WritesTheDocumentedExamples) {
    EXPECT_EQ(general(0.1F), "0.1");
    EXPECT_EQ(general(3.14159265F), "3.14159");
    EXPECT_EQ(general(123456.0F), "123456");
    EXPECT_EQ(general(999999.5F), "1e+06");
    EXPECT_EQ(general(1234567.0F), "1.23457e+06");
    EXPECT_EQ(general(0.00001F), "1e-05");
    EXPECT_EQ(general(0.0001F), "0.0001");
    EXPECT_EQ(general(5.0F), "5");
    EXPECT_EQ(general(-2.5F), "-2.5");
    EXPECT_EQ(general(100.0F), "100");
    EXPECT_EQ(general(0.0F), "0");
    EXPECT_EQ(general(-0.0F), "-0");
}

TEST(NumberText, WritesInfinityAndNotANumber) {
    constexpr float infinity = std::numeric_limits<float>::infinity();
    EXPECT_EQ(general(infinity), "inf");
    EXPECT_EQ(general(-infinity), "-inf");
    EXPECT_EQ(general(std::numeric_limits<float>::quiet_NaN()), "nan");
    EXPECT_EQ(general(-std::numeric_limits<float>::quiet_NaN()), "-nan");
    EXPECT_EQ(general(fromBits(0x7F800001)), "nan");  // signalling, smallest payload
    EXPECT_EQ(general(fromBits(0xFFFFFFFF)), "-nan");
}

TEST(NumberText, RoundsExactTiesToEven) {
    EXPECT_EQ(general(1234565.0F), "1.23456e+06");
    EXPECT_EQ(general(1234575.0F), "1.23458e+06");
    EXPECT_EQ(general(0.5F), "0.5");
    EXPECT_EQ(general(1000000.5F), "1e+06");
    EXPECT_EQ(general(8388612.5F), printfGeneral(8388612.5F));
}

// Compares with printf over a float and its neighbours on both sides.
void expectNeighbourhoodMatches(float centre, int reach) {
    float below = centre;
    float above = centre;
    for (int step = 0; step < reach; ++step) {
        for (const float value : {below, above, -below, -above}) {
            ASSERT_EQ(general(value), printfGeneral(value)) << std::hexfloat << value;
        }
        below = std::nextafter(below, -std::numeric_limits<float>::infinity());
        above = std::nextafter(above, std::numeric_limits<float>::infinity());
    }
}

TEST(NumberText, MatchesPrintfAtRoundingAndNotationBoundaries) {
    for (const float hard : {999999.5F, 9.999995e-5F, 9.999995e-5F, 0.0001F, 99999.95F, 999999.0F, 1000000.0F,
                             9.9999995F, 0.99999995F, 1234565.0F, 1.5e-45F, 3.4028235e38F}) {
        expectNeighbourhoodMatches(hard, 64);
    }
    // Every power of ten within the float range, and just short of it.
    for (int exponent = -45; exponent <= 38; ++exponent) {
        const auto power = static_cast<float>(std::pow(10.0, exponent));
        expectNeighbourhoodMatches(power, 8);
        expectNeighbourhoodMatches(static_cast<float>(9.999995 * std::pow(10.0, exponent - 1)), 8);
    }
}

TEST(NumberText, MatchesPrintfAtTheEdgesOfTheRange) {
    constexpr std::uint32_t edges[] = {
        0x00000001,  // smallest subnormal
        0x007FFFFF,  // largest subnormal
        0x00800000,  // smallest normal
        0x7F7FFFFF,  // largest normal
        0x3F800000,  // one
    };
    for (const std::uint32_t bits : edges) {
        expectNeighbourhoodMatches(fromBits(bits), 16);
    }
    EXPECT_EQ(general(fromBits(0x00000001)), "1.4013e-45");
    EXPECT_EQ(general(fromBits(0x7F7FFFFF)), "3.40282e+38");
    EXPECT_EQ(general(-1.17549435e-38F), "-1.17549e-38");
    EXPECT_EQ(general(-0.000123456789F), "-0.000123457");
}

TEST(NumberText, MatchesPrintfOnMillionsOfSpreadBitPatterns) {
    // A stride coprime with 2^32 visits every exponent and many mantissas.
    constexpr std::uint64_t stride = 1021;
    std::uint64_t mismatches = 0;
    for (std::uint64_t bits = 7; bits < (std::uint64_t{1} << 32); bits += stride) {
        const float value = fromBits(static_cast<std::uint32_t>(bits));
        if (general(value) != printfGeneral(value) && ++mismatches <= 10) {
            ADD_FAILURE() << "bits 0x" << std::hex << bits << ": " << general(value) << " vs " << printfGeneral(value);
        }
    }
    EXPECT_EQ(mismatches, 0U);
}

TEST(NumberText, NeverWritesMoreThanTheLongestText) {
    for (const float value : {-1.17549435e-38F, -0.000123456789F, -1.23456e+30F, -123457.0F}) {
        EXPECT_LE(general(value).size(), static_cast<std::size_t>(maxGeneralLength));
    }
    // Bytes past the room are never touched.
    char text[generalRoom + 4];
    std::fill(std::begin(text), std::end(text), 'x');
    writeGeneral(text, -0.000123456789F);
    EXPECT_EQ(std::string(text + generalRoom, 4), "xxxx");
}

TEST(NumberText, WritesIntegersInPlainDecimal) {
    const auto decimal = [](std::int32_t value) {
        char text[maxDecimalLength];
        return std::string(text, writeDecimal(text, value));
    };
    EXPECT_EQ(decimal(0), "0");
    EXPECT_EQ(decimal(-3), "-3");
    EXPECT_EQ(decimal(2147483647), "2147483647");
    EXPECT_EQ(decimal(-2147483647 - 1), "-2147483648");
}

}  // namespace
}  // namespace gaussian_noise
