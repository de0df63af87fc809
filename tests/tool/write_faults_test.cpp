// The write path under the faults a file system can cause: writes that take
// only part of a block, writes interrupted by a signal, and a close that
// reports a deferred write error. The tool runs with fault_shim.cpp preloaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "expected_table.h"
#include "run_tool.h"

namespace gaussian_noise::testing {
namespace {

// About 3.4 MB of table: four fillings of the tool's 1 MiB buffer.
const std::vector<std::string> arguments{"1.7", "3.3", "300", "1000"};
constexpr float mean = 1.7F;
constexpr float variance = 3.3F;
constexpr int runs = 300;
constexpr int samplesPerRun = 1000;
const std::string echo =
    "Desired Mean: 1.7\nDesired Variance: 3.3\nDesired number of runs: 300\nDesired number of samples per run: 1000\n";

ToolOptions withFaults(const std::string& writeFaults, bool closeFails = false) {
    // The sanitizer runtime insists on coming first among the loaded libraries
    // unless told otherwise; a build without sanitizers ignores the setting.
    const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
    ToolOptions options;
    options.environment = {
        std::string("LD_PRELOAD=").append(FAULT_SHIM_PATH),
        "FAULT_SHIM_WRITES=" + writeFaults,
        "ASAN_OPTIONS=" + std::string(sanitizerOptions != nullptr ? sanitizerOptions : "") +
            ":verify_asan_link_order=0",
    };
    if (closeFails) options.environment.emplace_back("FAULT_SHIM_CLOSE=1");
    return options;
}

std::string repeated(const std::string& pattern, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += pattern;
    return text;
}

TEST(WriteFaults, EveryByteArrivesThroughShortAndInterruptedWrites) {
    // One letter per write() call of the tool, the echo's first (see fault_shim.cpp).
    const std::vector<std::string> patterns{
        repeated("s", 120),     // every call short: each block takes over twenty
        repeated("i.", 60),     // every other call interrupted
        repeated("isis.", 30),  // interrupted and short calls in a row
        ".i.s.i.s",             // the first call of each block faulted, the echo's not
    };
    const TemporaryDirectory directory;
    for (const std::string& pattern : patterns) {
        const ToolRun run = runTool(directory.path(), arguments, withFaults(pattern));
        EXPECT_EQ(run.exitStatus, 0) << pattern;
        EXPECT_EQ(run.err, "") << pattern;
        EXPECT_EQ(run.out, echo) << pattern;
        EXPECT_TRUE(writtenWithClockSeed(run, readFile(directory.path() / "generated_noise.csv"), mean, variance, runs,
                                         samplesPerRun))
            << pattern;
    }
}

TEST(WriteFaults, AFailedWriteStopsEveryThreadAndLeavesAPrefixOfTheTable) {
    const TemporaryDirectory directory;
    for (const std::string threads : {"1", "2", "3"}) {
        // The echo, one block or chunk, then a full disk, in a table that would never end.
        const ToolRun run = runTool(directory.path(), {"-T", threads, "-s", "9", "0", "1", "2147483647", "2147483647"},
                                    withFaults("..f"));
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.err, "gaussian_noise: cannot write 'generated_noise.csv': No space left on device\n");
        const std::string written = readFile(directory.path() / "generated_noise.csv");
        const auto cells = static_cast<int>(std::count(written.begin(), written.end(), ','));
        EXPECT_GT(cells, 1000) << threads;
        EXPECT_TRUE(expectedTable(9, 0.0F, 1.0F, 1, cells + 1).substr(0, written.size()) == written) << threads;
    }
}

TEST(WriteFaults, AWriteThatTakesNothingIsAFullDevice) {
    const TemporaryDirectory directory;
    const ToolRun run = runTool(directory.path(), {"-q", "0", "1", "2", "3"}, withFaults("z"));
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "gaussian_noise: cannot write 'generated_noise.csv': No space left on device\n");
}

TEST(WriteFaults, AFailingCloseIsReportedWithTheFileName) {
    const TemporaryDirectory directory;
    const ToolRun run = runTool(directory.path(), {"0", "1", "2", "3"}, withFaults("", true));
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "gaussian_noise: cannot close 'generated_noise.csv': Input/output error\n");
}

TEST(WriteFaults, WithoutDevNullAClosedStandardInputIsNeverTheTable) {
    ToolOptions options = withFaults("");
    options.environment.emplace_back("FAULT_SHIM_NO_DEV_NULL=1");
    options.closedDescriptors = {0};
    const TemporaryDirectory directory;
    const ToolRun run = runTool(directory.path(), {"-s", "8", "1.7", "3.3", "3", "4"}, options);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(directory.path() / "generated_noise.csv"), expectedTable(8, mean, variance, 3, 4));
}

// The whole tool where memory runs out, the allocations failing from the
// Nth on: it writes the exact table with status 0, or says "out of memory"
// with status 1; never a signal, and status 0 whenever the table is whole.
// With four threads and progress on a terminal, so that a failure can meet
// workers still running and a report being made.
TEST(OutOfMemory, TheTableIsExactOrTheRunSaysSo) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator cannot be replaced by a preloaded one";
#endif
    // Five chunks of the threads' pairs: the workers have work to do.
    const std::string table = expectedTable(7, 0.0F, 1.0F, 4, 40'000);
    const TemporaryDirectory directory;
    const RawTerminal terminal;
    int whole = 0;
    for (int failFrom = 0; failFrom <= 100; ++failFrom) {
        for (const std::string threads : {"1", "4"}) {
            for (const bool progress : {false, true}) {
                std::vector<std::string> words{"-q", "-s", "7", "-T", threads, "0", "1", "4", "40000"};
                if (progress) words.emplace_back("--progress");
                ToolOptions options;
                options.environment = {std::string("LD_PRELOAD=") + MEMORY_SHIM_PATH,
                                       "MEMORY_SHIM_FAIL_FROM=" + std::to_string(failFrom)};
                if (progress) options.standardError = terminal.name();
                const ToolRun run = runTool(directory.path(), words, options);
                const std::string said = progress ? terminal.shown() : run.err;
                const std::string written = readFile(directory.path() / "generated_noise.csv");
                const std::string where = "failing from allocation " + std::to_string(failFrom) + ", " + threads +
                                          " threads" + (progress ? ", progress" : "");
                if (run.exitStatus == 0) {
                    ++whole;
                    EXPECT_TRUE(written == table) << where;
                } else {
                    EXPECT_EQ(run.exitStatus, 1) << where << ": " << said;
                    EXPECT_NE(said.find("gaussian_noise: out of memory\n"), std::string::npos) << where << ": " << said;
                    EXPECT_FALSE(written == table) << where << ": the table is whole";
                }
            }
        }
    }
    EXPECT_GT(whole, 0);
}

}  // namespace
}  // namespace gaussian_noise::testing
