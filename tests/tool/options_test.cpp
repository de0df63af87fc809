// End-to-end tests of the options: seed, output, quiet, lossless text, progress
// and the binary formats.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "expected_table.h"
#include "reference_noise.h"
#include "run_tool.h"

namespace gaussian_noise::testing {
namespace {

namespace fs = std::filesystem;

using Options = ToolDirectory;

TEST_F(Options, SeedGivesTheTableOfThatClockSecond) {
    const ToolRun seeded = run({"--seed=20261208", "1.7", "3.3", "4", "50"});
    EXPECT_EQ(seeded.exitStatus, 0);
    EXPECT_EQ(seeded.out, echo("1.7", "3.3", "4", "50"));
    EXPECT_EQ(text("generated_noise.csv"), expectedTable(20261208, 1.7F, 3.3F, 4, 50));

    // A clock-seeded run equals the seeded run of one second in its span.
    const ToolRun clocked = run({"0", "1", "3", "7"});
    const std::string table = text("generated_noise.csv");
    bool found = false;
    for (std::time_t second = clocked.startedAt; second <= clocked.endedAt && !found; ++second) {
        run({"-s", std::to_string(second), "-o", "seeded.csv", "0", "1", "3", "7"});
        found = text("seeded.csv") == table;
    }
    EXPECT_TRUE(found);

    // The C library treats seeds 0 and 1 alike.
    run({"-q", "-s", "0", "-o", "zero.csv", "0", "1", "2", "5"});
    run({"-q", "-s", "1", "-o", "one.csv", "0", "1", "2", "5"});
    EXPECT_EQ(text("zero.csv"), text("one.csv"));
    EXPECT_EQ(text("one.csv"), expectedTable(1, 0.0F, 1.0F, 2, 5));
}

TEST_F(Options, WritesToTheNamedFileOrStandardOutput) {
    const ToolRun named = run({"--output=other.csv", "-s", "5", "0", "1", "2", "3"});
    EXPECT_EQ(named.exitStatus, 0);
    EXPECT_EQ(named.out, echo("0", "1", "2", "3"));
    EXPECT_EQ(text("other.csv"), expectedTable(5, 0.0F, 1.0F, 2, 3));
    EXPECT_FALSE(fs::exists(path("generated_noise.csv")));

    // On standard output the table stands alone; the echo moves to standard error.
    const ToolRun piped = run({"-o", "-", "-s", "5", "0", "1", "2", "3"});
    EXPECT_EQ(piped.exitStatus, 0);
    EXPECT_EQ(piped.out, expectedTable(5, 0.0F, 1.0F, 2, 3));
    EXPECT_EQ(piped.err, echo("0", "1", "2", "3"));

    const ToolRun quiet = run({"-q", "--output", "-", "-s", "5", "0", "1", "2", "3"});
    EXPECT_EQ(quiet.out, piped.out);
    EXPECT_EQ(quiet.err, "");
    const ToolRun quietFile = run({"--quiet", "-s", "6", "0", "1", "2", "3"});
    EXPECT_EQ(quietFile.out, "");
    EXPECT_EQ(text("generated_noise.csv"), expectedTable(6, 0.0F, 1.0F, 2, 3));
    EXPECT_FALSE(fs::exists(path("-")));
}

TEST_F(Options, ReadsGluedValuesAndOptionsAfterTheValues) {
    const ToolRun glued = run({"-qs42", "0", "1", "2", "3"});
    EXPECT_EQ(glued.exitStatus, 0);
    EXPECT_EQ(glued.out, "");
    EXPECT_EQ(text("generated_noise.csv"), expectedTable(42, 0.0F, 1.0F, 2, 3));

    fs::remove(path("generated_noise.csv"));
    const ToolRun after = run({"0", "1", "2", "3", "-o", "out.csv", "--seed=42", "--lossless", "-q"});
    EXPECT_EQ(after.exitStatus, 0);
    EXPECT_EQ(after.out, "");
    run({"-q", "--lossless", "-s", "42", "-o", "before.csv", "0", "1", "2", "3"});
    EXPECT_EQ(text("out.csv"), text("before.csv"));
    EXPECT_FALSE(fs::exists(path("generated_noise.csv")));
}

TEST_F(Options, ClosedStandardDescriptorsNeverBecomeTheTable) {
    const ToolRun noError = run({"--progress", "-q", "-s", "3", "0", "1", "2", "3"}, {.closedDescriptors = {2}});
    EXPECT_EQ(noError.exitStatus, 0);
    EXPECT_EQ(text("generated_noise.csv"), expectedTable(3, 0.0F, 1.0F, 2, 3));

    writeFile(path("generated_noise.csv"), "kept");
    const ToolRun noOutput = run({"0", "1", "2", "2"}, {.closedDescriptors = {1}});
    EXPECT_EQ(noOutput.exitStatus, 1);
    EXPECT_EQ(noOutput.err, "gaussian_noise: cannot write standard output: Bad file descriptor\n");
    EXPECT_EQ(text("generated_noise.csv"), "kept");
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// (Sanitizer runtimes reserve terabytes of address space: they cannot run
// under a limit.)
TEST_F(Options, ThreadsLeftWithoutMemoryLeaveTheTableToFewerThreads) {
    const std::string expected = expectedTable(9, 0.0F, 1.0F, 100, 10000);
    for (const auto& [threads, kib] : {std::pair{"2", std::uint64_t{8000}}, std::pair{"256", std::uint64_t{200000}}}) {
        const ToolRun limited = run({"-q", "-s", "9", "-T", threads, "-o", "out.csv", "0", "1", "100", "10000"},
                                    {.addressSpaceLimit = std::uint64_t{1024} * kib});
        EXPECT_EQ(limited.exitStatus, 0) << threads << " threads";
        EXPECT_EQ(limited.err, "") << threads << " threads";
        EXPECT_TRUE(text("out.csv") == expected) << threads << " threads";
    }
}
#endif

TEST_F(Options, EveryMessageIsOneLineShowingWhatWasGiven) {
    const std::string usage = "usage: gaussian_noise MEAN VARIANCE RUNS SAMPLES (or --help)";
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        {{"-o", "no\nsuch/x.csv"}, "cannot open 'no\\nsuch/x.csv': No such file or directory"},
        {{"-o", "a\\b\x01\x7f/\t"}, R"(cannot open 'a\\b\001\177/\t': No such file or directory)"},
        {{"--format=c\rsv"}, "unknown format 'c\\rsv'; the formats are csv, npy and f32"},
        {{"--seed=1\n"}, "seed must be a whole number from 0 to 4294967295, not '1\\n'"},
        {{"--x\ny"}, "unknown option '--x\\ny'; " + usage},
    };
    for (const Case& test : cases) {
        std::vector<std::string> line = test.arguments;
        line.insert(line.end(), {"-q", "0", "1", "1", "1"});
        EXPECT_EQ(run(line).err, "gaussian_noise: " + test.message + "\n");
    }
}

TEST_F(Options, ReportsOutputFailuresWithTheirNames) {
    const ToolRun missing = run({"-q", "-o", "no/such.csv", "0", "1", "1", "1"});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(missing.err, "gaussian_noise: cannot open 'no/such.csv': No such file or directory\n");
    const ToolRun full = run({"-q", "-o", "/dev/full", "0", "1", "1", "1"});
    EXPECT_EQ(full.exitStatus, 1);
    EXPECT_EQ(full.err, "gaussian_noise: cannot write '/dev/full': No space left on device\n");
    const ToolRun fullOut = run({"-o", "-", "0", "1", "1", "1"}, {.standardOutput = "/dev/full"});
    EXPECT_EQ(fullOut.exitStatus, 1);
    EXPECT_EQ(fullOut.err,
              echo("0", "1", "1", "1") + "gaussian_noise: cannot write standard output: No space left on device\n");
}

TEST_F(Options, RejectedOptionsLeaveEveryFileAlone) {
    writeFile(path("generated_noise.csv"), "old");
    writeFile(path("kept.csv"), "kept");
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--seed=12x", "-o", "kept.csv", "0", "1", "1", "1"},
                                               {"-o", "kept.csv", "--bogus", "0", "1", "1", "1"},
                                               {"-o", "kept.csv", "--output=", "0", "1", "1", "1"},
                                               {"-o", "kept.csv", "-s"},
                                               {"--format=npy", "--lossless", "0", "1", "1", "1"},
                                               {"-o", "kept.csv", "--lossless", "--format=f32", "0", "1", "1", "1"},
                                               {"--format=xml", "0", "1", "1", "1"},
                                               {"-o", "kept.csv", "--threads=257", "0", "1", "1", "1"},
                                               {"-o", "kept.csv", "-T", "two", "0", "1", "1", "1"}}) {
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(text("kept.csv"), "kept");
        EXPECT_EQ(text("generated_noise.csv"), "old");
        EXPECT_FALSE(fs::exists(path("generated_noise.npy")) || fs::exists(path("generated_noise.f32")));
    }
}

// The cells of a table, without their commas.
std::vector<std::string> cellsOf(const std::string& table) {
    std::vector<std::string> cells;
    std::string cell;
    for (const char c : table) {
        if (c == ',') {
            cells.push_back(cell);
            cell.clear();
        } else if (c != '\n') {
            cell += c;
        }
    }
    return cells;
}

// The length of the shortest %.Ng text, N from 1 to 9, that reads back as `value`.
std::size_t shortestPrintfLength(float value) {
    for (int digits = 1; digits <= 9; ++digits) {
        char text[64];
        const int size = std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::bit_cast<std::uint32_t>(std::strtof(text, nullptr)) == std::bit_cast<std::uint32_t>(value)) {
            return static_cast<std::size_t>(size);
        }
    }
    return 0;
}

TEST_F(Options, LosslessCellsReadBackAsTheDrawnSamplesInTheShortestText) {
    struct Setting {
        const char* mean;
        const char* variance;
    };
    for (const Setting setting : {Setting{"1.7", "3.3"}, Setting{"0", "1e-30"}, Setting{"-5e6", "1e12"},
                                  Setting{"1e-40", "0"}, Setting{"-1e30", "1e38"}}) {
        run({"--lossless", "-q", "-s", "99", setting.mean, setting.variance, "10", "300"});
        const std::vector<std::string> cells = cellsOf(text("generated_noise.csv"));
        ASSERT_EQ(cells.size(), 3000U);
        std::srand(99);
        const auto mean = static_cast<float>(std::strtod(setting.mean, nullptr));
        const auto variance = static_cast<float>(std::strtod(setting.variance, nullptr));
        for (const std::string& cell : cells) {
            const float drawn = reference::nextSample(mean, variance);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(std::strtof(cell.c_str(), nullptr)),
                      std::bit_cast<std::uint32_t>(drawn))
                << cell;
            ASSERT_LE(cell.size(), shortestPrintfLength(drawn)) << cell;
        }
    }
    run({"--lossless", "-q", "-s", "1", "inf", "0", "1", "1"});
    EXPECT_EQ(text("generated_noise.csv"), "inf,");
    run({"--lossless", "-q", "-s", "1", "-0", "0", "2", "1"});
    // -0 plus a zero product keeps the product's sign: -0 for a negative deviate.
    EXPECT_EQ(text("generated_noise.csv"), "-0,\n0,");
    const ToolRun echoed = run({"--lossless", "-s", "1", "3.14159265", "0", "1", "1"});
    EXPECT_EQ(echoed.out, echo("3.14159", "0", "1", "1"));  // the echo keeps six digits
    EXPECT_EQ(text("generated_noise.csv"), "3.1415927,");
}

TEST_F(Options, ProgressGoesToStandardErrorAsPlainLinesWhenNotATerminal) {
    const ToolRun result = run({"--progress", "-q", "-s", "3", "0", "1", "20", "5000"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err.find('\r'), std::string::npos);
    EXPECT_EQ(result.err.back(), '\n');
    EXPECT_NE(result.err.find("100%, 100000 of 100000 cells, "), std::string::npos) << result.err;
    EXPECT_EQ(text("generated_noise.csv"), expectedTable(3, 0.0F, 1.0F, 20, 5000));
    EXPECT_EQ(run({"-q", "-s", "3", "0", "1", "20", "5000"}).err, "");  // nothing without the option
}

TEST_F(Options, ThreadsWriteTheOneThreadTableToEveryOutput) {
    const ToolRun clocked = run({"-T", "2", "0", "1", "30", "5000"});
    EXPECT_EQ(clocked.exitStatus, 0);
    EXPECT_EQ(clocked.err, "");
    EXPECT_EQ(clocked.out, echo("0", "1", "30", "5000"));
    EXPECT_TRUE(writtenWithClockSeed(clocked, text("generated_noise.csv"), 0.0F, 1.0F, 30, 5000));

    // Seed 376 throws away its 410217th pair of draws: a thread's chunk holds a cell less.
    const std::vector<std::string> values{"1.7", "3.3", "1400", "300"};
    const std::string general = expectedTable(376, 1.7F, 3.3F, 1400, 300);
    const std::string lossless = expectedTable(376, 1.7F, 3.3F, 1400, 300, CellText::lossless);
    const std::string singles = referenceSingles(376, 1.7F, 3.3F, 1400 * 300);
    auto with = [&values](std::vector<std::string> options) {
        options.insert(options.end(), values.begin(), values.end());
        return options;
    };
    for (const std::string threads : {"2", "3", "0"}) {
        const ToolRun named = run(with({"--threads=" + threads, "-s", "376", "-o", "named.csv"}));
        EXPECT_EQ(named.exitStatus, 0);
        EXPECT_EQ(named.out, echo("1.7", "3.3", "1400", "300"));
        EXPECT_TRUE(text("named.csv") == general) << threads;
        const ToolRun piped = run(with({"-T", threads, "-q", "-o", "-", "-s", "376"}));
        EXPECT_EQ(piped.err, "");
        EXPECT_TRUE(piped.out == general) << threads;
        run(with({"-T", threads, "--lossless", "-q", "-s", "376"}));
        EXPECT_TRUE(text("generated_noise.csv") == lossless) << threads;
        const ToolRun progress = run(with({"-T", threads, "--progress", "-q", "-s", "376"}));
        EXPECT_NE(progress.err.find("100%, 420000 of 420000 cells, "), std::string::npos) << progress.err;
        EXPECT_TRUE(text("generated_noise.csv") == general) << threads;
        run(with({"-T", threads, "--format=f32", "-q", "-s", "376"}));
        EXPECT_TRUE(text("generated_noise.f32") == singles) << threads;
    }
}

TEST_F(Options, ProgressRewritesOneLineOnATerminal) {
    const RawTerminal terminal;
    const ToolRun result =
        run({"--progress", "-q", "-s", "4", "0", "1", "100", "10000"}, {.standardError = terminal.name()});
    EXPECT_EQ(result.exitStatus, 0);
    const std::string shown = terminal.shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), '\r');
    EXPECT_NE(shown.find("\rgaussian_noise: 100%, 1000000 of 1000000 cells, "), std::string::npos) << shown;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << shown;
    EXPECT_EQ(shown.back(), '\n');

    run({"-q", "-s", "4", "-o", "plain.csv", "0", "1", "100", "10000"});
    EXPECT_EQ(text("generated_noise.csv"), text("plain.csv"));
}

// The table on the terminal that shows the progress, under any of its
// names, at any width: the last row stays, the report starts a line of its
// own after it, and that line is whole fields, the share alone, or nothing.
TEST_F(Options, ProgressBesideTheTableOnATerminalLeavesTheTableWhole) {
    const std::string table = expectedTable(4, 0.0F, 1.0F, 3, 5);
    const std::string fields = "gaussian_noise: 100%, 15 of 15 cells, ";
    std::vector<unsigned short> widths(25);
    std::iota(widths.begin(), widths.end(), static_cast<unsigned short>(1));
    widths.push_back(80);
    for (const std::string output : {"-", "/dev/stdout", "/dev/tty"}) {
        for (const unsigned short columns : widths) {
            const RawTerminal terminal(columns);
            const ToolRun result = run(
                {"--progress", "-q", "-s", "4", "-o", output, "0", "1", "3", "5"},
                {.standardOutput = terminal.name(), .standardError = terminal.name(), .standardOutputControls = true});
            const std::string where = output + " on " + std::to_string(columns) + " columns";
            EXPECT_EQ(result.exitStatus, 0) << where;
            const std::string shown = terminal.shown();
            ASSERT_EQ(shown.substr(0, table.size() + 1), table + "\n") << where << ": " << shown;
            const std::string report = shown.substr(table.size() + 1);
            ASSERT_FALSE(report.empty()) << where;
            EXPECT_EQ(report.back(), '\n') << where;
            const std::string line = report.substr(0, report.size() - 1);
            EXPECT_LT(line.size(), columns) << where << ": " << line;
            EXPECT_TRUE(line.empty() || line == "100%" || line == fields.substr(0, 20) || line.starts_with(fields) ||
                        line.starts_with(fields.substr(0, 22) + "done in "))
                << where << ": " << line;
            if (columns == 80) {
                EXPECT_TRUE(line.starts_with(fields)) << where << ": " << line;
            }
        }
    }
}

TEST_F(Options, BinaryFormatsHoldTheDrawnSamplesNaNBitsIncluded) {
    writeFile(path("generated_noise.csv"), "old");
    const ToolRun f32 = run({"--format=f32", "-s", "11", "1.7", "3.3", "20", "30"});
    EXPECT_EQ(f32.exitStatus, 0);
    EXPECT_EQ(f32.out, echo("1.7", "3.3", "20", "30"));
    EXPECT_EQ(text("generated_noise.f32"), referenceSingles(11, 1.7F, 3.3F, 600));
    EXPECT_EQ(text("generated_noise.csv"), "old");
    // The npy file is a header and the same bytes.
    ASSERT_EQ(run({"--format", "npy", "-q", "-s", "11", "1.7", "3.3", "20", "30"}).exitStatus, 0);
    EXPECT_EQ(text("generated_noise.npy").substr(128), text("generated_noise.f32"));

    const ToolRun piped = run({"--format=f32", "--progress", "-o", "-", "-s", "12", "-nan", "1", "2", "3"});
    EXPECT_EQ(piped.exitStatus, 0);
    // The mean as the tool reads it, at run time: a constant NaN may be folded to another.
    EXPECT_EQ(piped.out, referenceSingles(12, std::strtof("-nan", nullptr), 1.0F, 6));
    EXPECT_EQ(piped.err.find(echo("-nan", "1", "2", "3")), 0U) << piped.err;
    EXPECT_NE(piped.err.find("100%, 6 of 6 cells, "), std::string::npos) << piped.err;
}

TEST_F(Options, BinaryFormatsRefuseATerminal) {
    const RawTerminal terminal;
    const std::string refusal =
        "gaussian_noise: will not write a binary table to a terminal; use -o FILE or a redirection\n";

    const ToolRun piped = run({"--format=npy", "-o", "-", "0", "1", "2", "3"}, {.standardOutput = terminal.name()});
    EXPECT_EQ(piped.exitStatus, 2);
    EXPECT_EQ(piped.err, refusal);  // refused before the echo
    const ToolRun named = run({"--format=f32", "-o", terminal.name(), "0", "1", "2", "3"});
    EXPECT_EQ(named.exitStatus, 2);
    EXPECT_EQ(named.out, "");  // refused before the echo
    EXPECT_EQ(named.err, refusal);
    EXPECT_EQ(terminal.shown(), "");                                                  // nothing reached the terminal
    EXPECT_EQ(run({"-q", "-o", terminal.name(), "0", "0", "1", "1"}).exitStatus, 0);  // text still does
}

}  // namespace
}  // namespace gaussian_noise::testing
