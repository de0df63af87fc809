// Where rand() is not the C library sequence the tool can compute (here an
// LCG preloaded from lcg_rand_shim.cpp), the tool draws from rand() itself,
// in one thread, and says so when asked for more; where logf or cosf is
// replaced (zero_math_shim.cpp), or the rounding is not to nearest
// (rounding_shim.cpp), the tool calls the scalar functions rather than its
// vector math.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cfenv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "expected_table.h"
#include "run_tool.h"
#include "samples/math_checkpoints.h"
#include "samples/math_choice.h"

namespace gaussian_noise::testing {
namespace {

// The shim's generator, written again here.
class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state_(seed) {}
    int operator()() {
        state_ = (state_ * 1103515245U + 12345U) % 2147483648U;
        return static_cast<int>(state_);
    }

private:
    std::uint32_t state_;
};

// The tool with `shim` preloaded.
ToolOptions preloading(const char* shim) {
    // The sanitizer runtime insists on coming first among the loaded libraries
    // unless told otherwise; a build without sanitizers ignores the setting.
    const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
    std::string sanitizer = "ASAN_OPTIONS=";
    sanitizer.append(sanitizerOptions != nullptr ? sanitizerOptions : "").append(":verify_asan_link_order=0");
    ToolOptions options;
    options.environment = {std::string("LD_PRELOAD=").append(shim), sanitizer};
    return options;
}

ToolOptions withLcgRand() { return preloading(LCG_RAND_SHIM_PATH); }

TEST(ForeignRand, TheTableIsThatRandsInOneThreadOrWhenMoreAreAsked) {
    Lcg lcg(77);
    const std::string expected = expectedTable(lcg, 0.5F, 2.0F, 40, 3000);
    const TemporaryDirectory directory;
    for (const std::string threads : {"1", "2"}) {
        const ToolRun run = runTool(
            directory.path(), {"-T", threads, "-s", "77", "-q", "-o", "-", "0.5", "2", "40", "3000"}, withLcgRand());
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_TRUE(run.out == expected) << threads << " threads";
        EXPECT_EQ(run.err, threads == "1" ? ""
                                          : "gaussian_noise: rand() here is not the C library sequence the tool can "
                                            "split between threads; writing the table in one thread\n");
    }
}

TEST(ForeignRand, ARandThatIgnoresSrandStartsTheTableAtItsFirstDraw) {
    Lcg lcg(1);
    ToolOptions options = withLcgRand();
    options.environment.emplace_back("LCG_RAND_IGNORES_SRAND=1");
    const TemporaryDirectory directory;
    const ToolRun run = runTool(directory.path(), {"-s", "77", "-q", "-o", "-", "0.5", "2", "20", "30"}, options);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, expectedTable(lcg, 0.5F, 2.0F, 20, 30));
}

// A logf or cosf replaced alone, that differs from the C library's on the
// one input of the table's first cell (not a checkpoint of the vector math,
// so that only the check of the functions' addresses can see it): that cell
// is the mean, the tool calling the functions the process has.
TEST(ForeignMath, ALogfOrCosfReplacedAtLoadTimeIsTheOneUsed) {
    std::srand(3);
    const int first = std::rand();
    const int second = std::rand();
    const auto u1 = static_cast<float>(static_cast<double>(first) / 2147483647.0);
    const float theta = 6.2831855F * static_cast<float>(static_cast<double>(second) / 2147483647.0);
    const std::string table = expectedTable(3, 5.0F, 1.0F, 2, 1000);
    const std::string firstCellTheMean = "5," + table.substr(table.find(',') + 1);
    ASSERT_NE(firstCellTheMean, table);
    const TemporaryDirectory directory;
    for (const auto& [shim, input, checkpoints] :
         {std::tuple{ZERO_LOGF_SHIM_PATH, u1, std::span<const std::uint32_t>(logfCheckpoints)},
          std::tuple{ZERO_COSF_SHIM_PATH, theta, std::span<const std::uint32_t>(cosfCheckpoints)}}) {
        ASSERT_EQ(std::count(checkpoints.begin(), checkpoints.end(), std::bit_cast<std::uint32_t>(input)), 0);
        std::array<char, 16> bits{};
        (void)std::snprintf(bits.data(), bits.size(), "%x", std::bit_cast<std::uint32_t>(input));
        ToolOptions options = preloading(shim);
        options.environment.push_back(std::string("MATH_SHIM_INPUT=") + bits.data());
        for (const std::string threads : {"1", "2"}) {
            const ToolRun run =
                runTool(directory.path(), {"-T", threads, "-s", "3", "-q", "-o", "-", "5", "1", "2", "1000"}, options);
            EXPECT_EQ(run.exitStatus, 0);
            EXPECT_TRUE(run.out == firstCellTheMean)
                << shim << ", " << threads << " threads: " << run.out.substr(0, 80);
        }
    }
}

// A rounding mode other than to nearest set before main leaves the tool the
// C library's scalar functions: the samples are those of the scalar
// arithmetic in that process.
TEST(ForeignMath, AnotherRoundingModeLeavesTheScalarPath) {
    const TemporaryDirectory directory;
    // A variance of 1: the square root of any other may be worked out while
    // compiling this test, to nearest whatever the mode when it runs.
    const std::vector<std::string> words{"--format=f32", "-s", "3", "-q", "-o", "-", "0.5", "1", "20", "1000"};
    const ToolRun upward = runTool(directory.path(), words, preloading(ROUNDING_SHIM_PATH));
    EXPECT_EQ(upward.exitStatus, 0);
    ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
    const std::string roundedUpward = referenceSingles(3, 0.5F, 1.0F, 20'000);
    ASSERT_EQ(std::fesetround(FE_TONEAREST), 0);
    EXPECT_FALSE(roundedUpward == referenceSingles(3, 0.5F, 1.0F, 20'000));  // the mode matters
    EXPECT_TRUE(upward.out == roundedUpward);
}

// The C library's version decides, read as numbers: 2.29 to 2.43 have the
// logf and cosf the lanes compute, and outside that range, or where the
// version cannot be read, the scalar functions serve.
TEST(ForeignMath, TheCLibrarysVersionDecidesWhetherTheLanesServe) {
    std::string fastest;
    for (const MathVariant& variant : mathVariants()) {
        if (variant.runnable()) fastest = variant.name;
    }
    if (fastest.empty()) GTEST_SKIP() << "the lanes need AVX2 and FMA, which this processor lacks";
    const TemporaryDirectory directory;
    for (const auto& [version, chosen] : std::vector<std::pair<std::string, std::string>>{
             {"2.28", "scalar"},
             {"2.29", fastest},
             {"2.36", fastest},
             {"2.39.9000", fastest},
             {"2.43", fastest},
             {"2.44", "scalar"},
             {"2.4", "scalar"},
             {"3.36", "scalar"},
             {"2.36x", "scalar"},
             {"", "scalar"},
         }) {
        ToolOptions options = preloading(LIBC_VERSION_SHIM_PATH);
        options.program = CHOSEN_MATH_PATH;
        options.environment.push_back("LIBC_VERSION_SHIM=" + version);
        const ToolRun run = runTool(directory.path(), {}, options);
        EXPECT_EQ(run.exitStatus, 0) << version;
        EXPECT_EQ(run.out, chosen + "\n") << "version '" << version << "'";
    }
}

// Under upward rounding the %g text is printf's in that mode, in the table
// and in the echo, and the lossless text std::to_chars', which does not
// depend on the mode.
TEST(ForeignMath, AnotherRoundingModeGivesTheLibrarysText) {
    const TemporaryDirectory directory;
    const std::vector<std::string> values{"-3.014355", "1", "20", "500"};
    std::vector<std::string> general{"-s", "3", "-o", "-"};
    general.insert(general.end(), values.begin(), values.end());
    std::vector<std::string> lossless{"-q", "--lossless", "-s", "3", "-o", "-"};
    lossless.insert(lossless.end(), values.begin(), values.end());
    const ToolRun upward = runTool(directory.path(), general, preloading(ROUNDING_SHIM_PATH));
    const ToolRun upwardLossless = runTool(directory.path(), lossless, preloading(ROUNDING_SHIM_PATH));
    ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
    const std::string table = expectedTable(3, -3.014355F, 1.0F, 20, 500);
    char mean[32];
    (void)std::snprintf(mean, sizeof mean, "%g", static_cast<double>(-3.014355F));
    const std::string losslessTable = expectedTable(3, -3.014355F, 1.0F, 20, 500, CellText::lossless);
    ASSERT_EQ(std::fesetround(FE_TONEAREST), 0);
    EXPECT_EQ(std::string(mean), "-3.01435");  // printf rounds the magnitude up no more
    EXPECT_EQ(upward.exitStatus, 0);
    EXPECT_EQ(upward.err,
              "Desired Mean: -3.01435\nDesired Variance: 1\nDesired number of runs: 20\n"
              "Desired number of samples per run: 500\n");
    EXPECT_TRUE(upward.out == table);
    EXPECT_TRUE(upwardLossless.out == losslessTable);
}

}  // namespace
}  // namespace gaussian_noise::testing
