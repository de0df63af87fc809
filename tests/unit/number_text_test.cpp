#include "text/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>

#include "cli/messages.h"

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
    // The ends of the range; printf's agreement on every float is the
    // variants' test.
    EXPECT_EQ(general(fromBits(0x00000001)), "1.4013e-45");
    EXPECT_EQ(general(fromBits(0x7F7FFFFF)), "3.40282e+38");
    EXPECT_EQ(general(-1.17549435e-38F), "-1.17549e-38");
    EXPECT_EQ(general(-0.000123456789F), "-0.000123457");
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

TEST(NumberText, NeverWritesMoreThanTheLongestText) {
    for (const float value : {-1.17549435e-38F, -0.000123456789F, -1.23456e+30F, -123457.0F}) {
        EXPECT_LE(general(value).size(), std::string_view("-1.17549e-38").size());
    }
    // Bytes past the room are never touched.
    char text[generalRoom + 4];
    std::fill(std::begin(text), std::end(text), 'x');
    writeGeneral(text, -0.000123456789F);
    EXPECT_EQ(std::string(text + generalRoom, 4), "xxxx");
}

TEST(NumberText, WritesIntegersInPlainDecimal) {
    const auto decimal = [](std::int32_t value) { return std::string(Message().number(value).text()); };
    EXPECT_EQ(decimal(0), "0");
    EXPECT_EQ(decimal(-3), "-3");
    EXPECT_EQ(decimal(2147483647), "2147483647");
    EXPECT_EQ(decimal(-2147483647 - 1), "-2147483648");
}

}  // namespace
}  // namespace gaussian_noise
