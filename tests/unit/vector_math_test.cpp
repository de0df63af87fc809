// The vector logf and cosf against the C library's scalar ones, bit for bit,
// on every input the generator can give them (75,497,472 logarithms and
// 65,030,897 cosines), for each variant built in (skipped, with the reason,
// where the processor cannot run it), in batches of
// every size up to the largest so that the padded last group is covered too.
#include <gnu/libc-version.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "samples/math_checkpoints.h"
#include "samples/math_choice.h"
#include "samples/math_inputs.h"

namespace gaussian_noise {
namespace {

// Collects inputs and checks them a batch at a time, the batches' sizes
// running through `sizes`.
class BatchCheck {
public:
    BatchCheck(MathBatch batch, float (*scalar)(float)) : batch_(batch), scalar_(scalar) {}
    void add(float input) {
        pending_.push_back(input);
        if (pending_.size() == sizes[next_ % sizes.size()]) check();
    }
    void check() {
        results_.resize(pending_.size());
        batch_(pending_.data(), results_.data(), pending_.size());
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            if (std::bit_cast<std::uint32_t>(results_[i]) != std::bit_cast<std::uint32_t>(scalar_(pending_[i]))) {
                if (differences_ == 0) first_ = pending_[i];
                ++differences_;
            }
        }
        checked_ += pending_.size();
        pending_.clear();
        ++next_;
    }
    [[nodiscard]] std::uint64_t differences() const { return differences_; }
    [[nodiscard]] std::uint64_t checked() const { return checked_; }
    [[nodiscard]] float first() const { return first_; }

private:
    static constexpr std::array<std::size_t, 6> sizes{maxMathBatch, 255, 1, 6, 130, 3};
    MathBatch batch_;
    float (*scalar_)(float);
    std::vector<float> pending_;
    std::vector<float> results_;
    std::size_t next_ = 0;
    std::uint64_t differences_ = 0;
    std::uint64_t checked_ = 0;
    float first_ = 0.0F;
};

float libraryLogf(float x) { return logf(x); }
float libraryCosf(float x) { return cosf(x); }

// One variant, by its place among those built in.
class VectorMathVariant : public ::testing::TestWithParam<std::size_t> {};

TEST_P(VectorMathVariant, IsTheCLibrarysLogfAndCosfOnEveryReachableInput) {
    const MathVariant& variant = mathVariants()[GetParam()];
    // Whether this process would use it or not: a variant the checks at
    // first use reject must still be right wherever they would accept it.
    if (!variant.runnable()) GTEST_SKIP() << variant.name << " needs instructions this processor lacks";
    BatchCheck logs(variant.math.log, libraryLogf);
    BatchCheck cosines(variant.math.cos, libraryCosf);
    forEachMathInput([&logs](float u) { logs.add(u); }, [&cosines](float theta) { cosines.add(theta); });
    logs.check();
    cosines.check();
    EXPECT_EQ(logs.checked(), 75'497'472U);
    EXPECT_EQ(cosines.checked(), 65'030'897U);
    EXPECT_EQ(logs.differences(), 0U) << variant.name << " logf, first at " << logs.first();
    EXPECT_EQ(cosines.differences(), 0U) << variant.name << " cosf, first at " << cosines.first();
}

INSTANTIATE_TEST_SUITE_P(Variants, VectorMathVariant, ::testing::Range(std::size_t{0}, mathVariants().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& index) {
                             std::string name(mathVariants()[index.param].name);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
// Where no variant is built in (processors other than x86-64), the scalar
// functions serve alone and there is nothing to compare.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(VectorMathVariant);

#if defined(__x86_64__)
// The check a process makes before it uses the lanes: a scalar function that
// differs from them on one checkpoint, in its last bit, rejects them.
// The checkpoint is read at run time: where the compiler knows the input, it
// works the function out itself, correctly rounded, which is not always the
// C library's result.
volatile std::uint32_t logfOffAt = logfCheckpoints[700];
volatile std::uint32_t cosfOffAt = cosfCheckpoints.back();
float logfOffAtOneCheckpoint(float x) {
    const float result = logf(x);
    return std::bit_cast<std::uint32_t>(x) == logfOffAt ? std::nextafter(result, 0.0F) : result;
}
float cosfOffAtOneCheckpoint(float x) {
    const float result = cosf(x);
    return std::bit_cast<std::uint32_t>(x) == cosfOffAt ? std::nextafter(result, 2.0F) : result;
}

// Each function's checkpoints, and not the other's, check that function:
// one difference in either rejects the lanes as the process checks them.
TEST(VectorMathCheckpoints, EachFunctionIsCheckedOnItsOwn) {
    if (!mathVariants().front().runnable()) GTEST_SKIP() << "the lanes need AVX2 and FMA, which this processor lacks";
    for (const MathVariant& variant : mathVariants()) {
        if (!variant.runnable()) continue;
        EXPECT_TRUE(lanesGiveTheBitsOf(variant.math, libraryLogf, libraryCosf)) << variant.name;
        EXPECT_FALSE(lanesGiveTheBitsOf(variant.math, logfOffAtOneCheckpoint, libraryCosf)) << variant.name;
        EXPECT_FALSE(lanesGiveTheBitsOf(variant.math, libraryLogf, cosfOffAtOneCheckpoint)) << variant.name;
    }
}

// Where the processor runs a variant, the C library is one the lanes are
// proven against, its logf and cosf are its own and the rounding is to
// nearest, as in this test, the tool computes with the fastest such
// variant: a check that wrongly refused the lanes would leave the tables
// right but slow, which no other test sees.
TEST(VectorMathCheckpoints, TheFastestRunnableLanesAreChosenWhereTheyAreProven) {
    if (!provenLibraryVersion(gnu_get_libc_version())) {
        GTEST_SKIP() << "the lanes compute the logf and cosf of the C library 2.29 to 2.43, not "
                     << gnu_get_libc_version();
    }
    const MathVariant* fastest = nullptr;
    for (const MathVariant& variant : mathVariants()) {
        if (variant.runnable()) fastest = &variant;
    }
    if (fastest == nullptr) GTEST_SKIP() << "the lanes need AVX2 and FMA, which this processor lacks";
    EXPECT_EQ(chosenMath().log, fastest->math.log) << fastest->name;
    EXPECT_EQ(chosenMath().cos, fastest->math.cos) << fastest->name;
}

TEST(VectorMathCheckpoints, OneDifferenceRejectsTheLanes) {
    if (!mathVariants().front().runnable()) GTEST_SKIP() << "the lanes need AVX2 and FMA, which this processor lacks";
    for (const MathVariant& variant : mathVariants()) {
        if (!variant.runnable()) continue;  // its exhaustive test says so
        EXPECT_TRUE(sameBitsOn(variant.math.log, libraryLogf, logfCheckpoints)) << variant.name;
        EXPECT_TRUE(sameBitsOn(variant.math.cos, libraryCosf, cosfCheckpoints)) << variant.name;
        EXPECT_FALSE(sameBitsOn(variant.math.log, logfOffAtOneCheckpoint, logfCheckpoints)) << variant.name;
        EXPECT_FALSE(sameBitsOn(variant.math.cos, cosfOffAtOneCheckpoint, cosfCheckpoints)) << variant.name;
    }
}
#endif

}  // namespace
}  // namespace gaussian_noise
