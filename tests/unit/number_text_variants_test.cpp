// Every variant of writeGeneralCells and writeShortestCells, called
// directly, against snprintf("%g") or std::to_chars followed by a comma.
// A variant this processor cannot run is skipped, with the reason.
#include "text/number_text_variants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "text/number_text.h"

namespace gaussian_noise {
namespace {

// The reference text of a cell, without its comma.
using Reference = std::string (*)(float value);
std::string printfText(float value) {
    char cell[64];
    const int size = std::snprintf(cell, sizeof cell, "%g", static_cast<double>(value));
    return {cell, static_cast<std::size_t>(size)};
}
std::string toCharsText(float value) {
    char cell[64];
    return {cell, std::to_chars(cell, cell + sizeof cell, value).ptr};
}

// A variant of either kind, with its reference and the room a cell takes.
struct Writer {
    const CellWriterVariant* variant;
    Reference reference;
    std::size_t room;
    std::string name;
};
const std::vector<Writer>& writers() {
    static const std::vector<Writer> all = [] {
        std::vector<Writer> list;
        for (const CellWriterVariant& variant : cellWriterVariants()) {
            // cppcheck-suppress useStlAlgorithm ; two loops read plainer than two transforms
            list.push_back({&variant, printfText, generalRoom, "general_" + std::string(variant.name)});
        }
        for (const CellWriterVariant& variant : shortestCellWriterVariants()) {
            // cppcheck-suppress useStlAlgorithm
            list.push_back({&variant, toCharsText, shortestRoom + 1, "shortest_" + std::string(variant.name)});
        }
        return list;
    }();
    return all;
}

std::string referenceCells(const Writer& writer, std::span<const float> values) {
    std::string text;
    for (const float value : values) text += writer.reference(value) + ",";
    return text;
}

// The values written in calls of changing lengths, so that groups of
// vector lanes start anywhere and some calls end in a part group.
std::string variantCells(const Writer& writer, std::span<const float> values) {
    constexpr std::size_t callLengths[] = {1, 8, 3, 16, 7, 9, 256, 2, 15, 17, 5, 64, 31};
    std::vector<char> text(values.size() * writer.room);
    char* end = text.data();
    for (std::size_t done = 0, call = 0; done < values.size(); ++call) {
        const std::size_t length = std::min(callLengths[call % std::size(callLengths)], values.size() - done);
        end = writer.variant->write(end, values.subspan(done, length));
        done += length;
    }
    return {text.data(), end};
}

// Fails with the first differing cell.
void expectCellsMatchReference(const Writer& writer, std::span<const float> values) {
    const std::string expected = referenceCells(writer, values);
    const std::string actual = variantCells(writer, values);
    if (actual == expected) return;
    std::size_t begin = 0;
    for (const float value : values) {
        const std::size_t end = expected.find(',', begin) + 1;
        if (actual.compare(begin, end - begin, expected, begin, end - begin) != 0) {
            ADD_FAILURE() << writer.name << " writes bits 0x" << std::hex << std::bit_cast<std::uint32_t>(value)
                          << " as " << actual.substr(begin, 16) << " instead of "
                          << expected.substr(begin, end - begin);
            return;
        }
        begin = end;
    }
}

// A float and `reach` neighbours on each side, with both signs.
void addNeighbourhood(std::vector<float>& values, float centre, int reach) {
    float below = centre;
    float above = centre;
    for (int step = 0; step < reach; ++step) {
        values.insert(values.end(), {below, above, -below, -above});
        below = std::nextafter(below, -std::numeric_limits<float>::infinity());
        above = std::nextafter(above, std::numeric_limits<float>::infinity());
    }
}

TEST(CellWriterVariants, PortableComesFirstAndTheFastestSupportedIsChosen) {
    ASSERT_FALSE(cellWriterVariants().empty());
    EXPECT_EQ(cellWriterVariants().front().name, "portable");
    EXPECT_TRUE(chosenCellWriterVariant().supported());
#if defined(__x86_64__)
    if (static_cast<bool>(__builtin_cpu_supports("avx512f")) && static_cast<bool>(__builtin_cpu_supports("avx512bw"))) {
        EXPECT_EQ(chosenCellWriterVariant().name, "avx512");
    } else if (static_cast<bool>(__builtin_cpu_supports("avx2"))) {
        EXPECT_EQ(chosenCellWriterVariant().name, "avx2");
    }
#endif
}

// One variant, by its place among those built in.
class CellWriterVariantText : public ::testing::TestWithParam<std::size_t> {
protected:
    void SetUp() override {
        if (!writer().variant->supported()) GTEST_SKIP() << writer().name << " needs instructions this processor lacks";
    }
    static const Writer& writer() { return writers()[GetParam()]; }
};

TEST_P(CellWriterVariantText, MatchesItsReferenceOnTheHardCases) {
    std::vector<float> values;
    // Rounding and notation boundaries, the ends of the range, every power of
    // ten and just short of it.
    for (const float hard :
         {999999.5F, 9.999995e-5F, 0.0001F, 99999.95F, 999999.0F, 1000000.0F, 9.9999995F, 0.99999995F, 1234565.0F, 0.5F,
          1.5e-45F, 3.4028235e38F, 1.17549435e-38F, std::bit_cast<float>(0x007FFFFFU)}) {
        addNeighbourhood(values, hard, 64);
    }
    for (int exponent = -45; exponent <= 38; ++exponent) {
        addNeighbourhood(values, static_cast<float>(std::pow(10.0, exponent)), 8);
        addNeighbourhood(values, static_cast<float>(9.999995 * std::pow(10.0, exponent - 1)), 8);
        addNeighbourhood(values, static_cast<float>(5.000005 * std::pow(10.0, exponent)), 4);  // ties
    }
    // Trailing zeros at every place, and no fraction left; the shortest
    // text's changes of notation, its whole numbers past 2^24 and its
    // powers of two, whose rounding interval is lopsided.
    for (const float round : {100000.0F, 120000.0F, 123000.0F, 123400.0F, 123450.0F, 1.2F, 0.012F, 10.5F, 0.001F,
                              16777216.0F, 123456792.0F, 1e7F, 1.2e6F, 0x1p-14F, 0x1p24F, 0x1p23F, 0.00012F}) {
        addNeighbourhood(values, round, 2);
    }
    for (int exponent = -149; exponent <= 127; ++exponent) addNeighbourhood(values, std::ldexp(1.0F, exponent), 2);
    constexpr float infinity = std::numeric_limits<float>::infinity();
    values.insert(values.end(), {0.0F, -0.0F, infinity, -infinity, std::numeric_limits<float>::quiet_NaN(),
                                 -std::numeric_limits<float>::quiet_NaN(), std::bit_cast<float>(0x7F800001U)});
    expectCellsMatchReference(writer(), values);
}

TEST_P(CellWriterVariantText, MatchesItsReferenceOnMillionsOfSpreadBitPatterns) {
    // A stride coprime with 2^32 visits every exponent and many mantissas;
    // a finer one through fixed notation (1e-04 to 1e+06) gives long runs of
    // samples that vector variants take all at once, as the tool's are.
    std::vector<float> values;
    for (std::uint64_t bits = 7; bits < (std::uint64_t{1} << 32); bits += 1021) {
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
    }
    for (std::uint32_t bits = 0x38D1B000; bits < 0x49742500; bits += 193) {
        values.push_back(std::bit_cast<float>(bits));
        values.push_back(-std::bit_cast<float>(bits));
    }
    constexpr std::size_t block = std::size_t{1} << 16;
    for (std::size_t done = 0; done < values.size() && !HasFailure(); done += block) {
        expectCellsMatchReference(writer(), std::span(values).subspan(done, std::min(block, values.size() - done)));
    }
}

TEST_P(CellWriterVariantText, StaysWithinItsRoom) {
    EXPECT_EQ(writer().variant->write(nullptr, {}), nullptr);
    for (std::size_t count = 1; count <= 17; ++count) {
        // Longest texts and the comma: twelve characters of %g, fourteen shortest.
        const std::vector<float> values(count, count % 2 == 0 ? -0.000123456789F : -1.17549435e-38F);
        std::string text(count * writer().room + 8, 'x');
        const char* end = writer().variant->write(text.data(), values);
        EXPECT_EQ(std::string(text.c_str(), end), referenceCells(writer(), values));
        EXPECT_EQ(text.substr(count * writer().room), "xxxxxxxx") << count;
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, CellWriterVariantText, ::testing::Range(std::size_t{0}, writers().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& index) {
                             return writers()[index.param].name;
                         });

}  // namespace
}  // namespace gaussian_noise
