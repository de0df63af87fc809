#include "binary_table.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace gaussian_noise {
namespace {

// Both writers give the little-endian bytes of each value's bits, so the one
// big-endian hosts use is checked on this host too.
TEST(BinaryTable, WritesEachSampleLeastSignificantByteFirst) {
    const std::vector<float> samples = {1.0F, -2.5F, std::bit_cast<float>(0xffc00123U), std::bit_cast<float>(1U)};
    const std::string expected(
        "\x00\x00\x80\x3f"
        "\x00\x00\x20\xc0"
        "\x23\x01\xc0\xff"
        "\x01\x00\x00\x00",
        16);
    std::string copied(16, '?');
    EXPECT_EQ(writeLittleEndianSingles(copied.data(), samples), copied.data() + 16);
    EXPECT_EQ(copied, expected);
    std::string assembled(16, '?');
    EXPECT_EQ(writeLittleEndianSinglesBytewise(assembled.data(), samples), assembled.data() + 16);
    EXPECT_EQ(assembled, expected);
}

}  // namespace
}  // namespace gaussian_noise
