// The write path under the faults a file system can cause: writes that take
// only part of a block, writes interrupted by a signal, and a close that
// reports a deferred write error. The tool runs with fault_shim.cpp preloaded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
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

// Standard error a pipe that nobody reads: the reports are lost, the table
// and its status are not.
TEST(WriteFaults, AClosedStandardErrorFailsNoTable) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ::close(pipe[0]);
    const TemporaryDirectory directory;
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"--progress", "-q", "-s", "1", "-o", "t.csv", "0", "1", "1000", "1000"},  // the last report
             {"-q", "-s", "1", "-o", "t.csv", "0", "1", "1000", "1000x"},               // a warning first
             {"--list-thrown-pairs", "--progress", "-s", "1", "-o", "t.csv", "0", "1", "1000", "1000"},
         }) {
        const ToolRun run =
            runTool(directory.path(), words, {.standardError = "/proc/self/fd/" + std::to_string(pipe[1])});
        EXPECT_EQ(run.exitStatus, 0) << words[0];
        if (words[0] != "--list-thrown-pairs") {
            EXPECT_TRUE(readFile(directory.path() / "t.csv") == expectedTable(1, 0.0F, 1.0F, 1000, 1000)) << words[0];
        }
    }
    ::close(pipe[1]);
}

// The limit on a file's size is a write that fails like any other, for the
// table and for the list alike: a message and status 1, not SIGXFSZ.
TEST(WriteFaults, AFileSizeLimitIsAWriteError) {
    const TemporaryDirectory directory;
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"-q", "0", "1", "1000", "1000"},
             {"-q", "-T", "2", "0", "1", "1000", "1000"},
             {"-s", "1", "--list-thrown-pairs", "-o", "L", "0", "1", "1", "1"},
         }) {
        // The limit holds for standard error's file too: room for the message.
        const bool list = words[1] == "1";
        const ToolRun run =
            runTool(directory.path(), words, {.fileSizeLimit = list ? std::uint64_t{60} : std::uint64_t{100'000}});
        const std::string name = list ? "L" : "generated_noise.csv";
        EXPECT_EQ(run.exitStatus, 1) << words[1];
        EXPECT_EQ(run.err, "gaussian_noise: cannot write '" + name + "': File too large\n") << words[1];
    }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// (Sanitizer runtimes reserve terabytes of address space: they cannot run
// under a limit.) However little memory the process may map, once the
// loader can say why it cannot start the tool (status 127), the tool
// starts and answers, or the loader refuses it cleanly: never a signal, as
// a stack frame larger than what is left would give. (Below that, exec
// itself fails, with a signal the tool never sees.)
TEST(OutOfMemory, AnyAddressSpaceLimitGivesAnAnswerOrACleanRefusal) {
    const TemporaryDirectory directory;
    bool loaderSpeaks = false;
    int answered = 0;
    for (std::uint64_t kib = 1024; kib <= 16384; kib += 8) {
        const ToolRun run = runTool(directory.path(), {"--version"}, {.addressSpaceLimit = kib * 1024});
        loaderSpeaks = loaderSpeaks || run.exitStatus == 127;
        if (loaderSpeaks) {
            EXPECT_NE(run.exitStatus, -1) << kib << " KiB: a signal";
        }
        if (run.exitStatus == 0) {
            ++answered;
            EXPECT_EQ(run.out, "gaussian_noise " GAUSSIAN_NOISE_VERSION "\n") << kib << " KiB";
        }
    }
    EXPECT_TRUE(loaderSpeaks);
    EXPECT_GT(answered, 0);
}
#endif

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
