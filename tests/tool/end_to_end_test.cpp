#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "expected_table.h"
#include "run_tool.h"

namespace gaussian_noise::testing {
namespace {

namespace fs = std::filesystem;

const std::string tableName = "generated_noise.csv";

using EndToEnd = ToolDirectory;

TEST_F(EndToEnd, EchoesTheSettingsAndWritesTheTableForTheClockSeed) {
    const ToolRun result = run({"0", "1", "3", "5"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, echo("0", "1", "3", "5"));
    EXPECT_TRUE(writtenWithClockSeed(result, text(tableName), 0.0F, 1.0F, 3, 5)) << text(tableName);

    const ToolRun shifted = run({"-2.5", "0.7", "40", "60", "ignored", "arguments"});
    EXPECT_EQ(shifted.exitStatus, 0);
    EXPECT_EQ(shifted.out, echo("-2.5", "0.7", "40", "60"));
    EXPECT_TRUE(writtenWithClockSeed(shifted, text(tableName), -2.5F, 0.7F, 40, 60));
}

TEST_F(EndToEnd, ShapesTheTableByRunsAndSamples) {
    run({"0", "1", "3", "0"});
    EXPECT_EQ(text(tableName), "\n\n");

    const ToolRun oneRow = run({"0", "1", "1", "3"});
    const std::string row = text(tableName);
    EXPECT_TRUE(writtenWithClockSeed(oneRow, row, 0.0F, 1.0F, 1, 3));
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), 3);
    EXPECT_EQ(row.find('\n'), std::string::npos);
    EXPECT_EQ(row.back(), ',');

    const ToolRun twoRows = run({"0", "1", "2", "1"});
    const std::string rows = text(tableName);
    EXPECT_TRUE(writtenWithClockSeed(twoRows, rows, 0.0F, 1.0F, 2, 1));
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 1);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), ','), 2);

    const ToolRun cut = run({"0", "1", "2.9", "1.9"});
    EXPECT_EQ(cut.out, echo("0", "1", "2", "1"));
    EXPECT_TRUE(writtenWithClockSeed(cut, text(tableName), 0.0F, 1.0F, 2, 1));
}

TEST_F(EndToEnd, EmptiesAnExistingFileWhenNoRowsAreAsked) {
    for (const std::string runs : {"0", "-4", "abc"}) {
        writeFile(path(tableName), "old data that must go\n");
        const ToolRun result = run({"0", "1", runs, "5"});
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out, echo("0", "1", runs == "-4" ? "-4" : "0", "5"));
        EXPECT_EQ(text(tableName), "") << runs;
    }
}

TEST_F(EndToEnd, WritesTheMeanWhenTheVarianceIsZero) {
    run({"5", "0", "2", "3"});
    EXPECT_EQ(text(tableName), "5,5,5,\n5,5,5,");
    run({"0", "0", "1", "4"});
    EXPECT_EQ(text(tableName), "0,0,0,0,");
    const ToolRun rounded = run({"3.14159265", "-0", "1", "2"});
    EXPECT_EQ(rounded.out, echo("3.14159", "-0", "1", "2"));
    EXPECT_EQ(text(tableName), "3.14159,3.14159,");
}

TEST_F(EndToEnd, EchoesValuesAsParsed) {
    const ToolRun huge = run({"1e39", "1e39", " +1", "0x2"});
    EXPECT_EQ(huge.exitStatus, 0);
    EXPECT_EQ(huge.out, echo("inf", "inf", "1", "0"));
    EXPECT_EQ(huge.err, "gaussian_noise: warning: samples per run '0x2' is not a whole number; read as 0\n");
    // Each value that is not wholly a number is read as far as it is one,
    // with a warning, also with --quiet.
    const std::string warnings =
        "gaussian_noise: warning: mean '2.5e' is not a number; read as 2.5\n"
        "gaussian_noise: warning: variance '' is not a number; read as 0\n"
        "gaussian_noise: warning: runs 'xyz' is not a whole number; read as 0\n"
        "gaussian_noise: warning: samples per run '  12abc' is not a whole number; read as 12\n";
    const ToolRun words = run({"2.5e", "", "xyz", "  12abc"});
    EXPECT_EQ(words.exitStatus, 0);
    EXPECT_EQ(words.out, echo("2.5", "0", "0", "12"));
    EXPECT_EQ(words.err, warnings);
    EXPECT_EQ(run({"-q", "2.5e", "", "xyz", "  12abc"}).err, warnings);
    const ToolRun notANumber = run({"-nan", "1", "1", "2"});
    EXPECT_EQ(notANumber.out, echo("-nan", "1", "1", "2"));
    EXPECT_EQ(text(tableName), "-nan,-nan,");
}

TEST_F(EndToEnd, HelpAndVersionLeaveTheFileAlone) {
    for (const std::string option : {"-h", "--help", "--version"}) {
        const ToolRun result = run({option});
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.err, "");
        EXPECT_NE(result.out.find(option == "--version" ? "gaussian_noise " : "Usage: gaussian_noise"),
                  std::string::npos);
        EXPECT_FALSE(fs::exists(path(tableName)));
    }
}

TEST_F(EndToEnd, RejectedCommandLinesKeepAnExistingFile) {
    const std::vector<std::vector<std::string>> rejected = {
        {},
        {"0"},
        {"0", "1", "2"},
        {"--bogus"},
        {"0", "-1", "2", "2"},
        {"0", "nan", "2", "2"},
        {"0", "1", "2147483648", "2"},
        {"0", "1", "2", "-99999999999"},
    };
    const std::string old = "1,2,\n3,4,";
    for (const auto& arguments : rejected) {
        writeFile(path(tableName), old);
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("gaussian_noise: ", 0), 0U) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(text(tableName), old);
    }
    fs::remove(path(tableName));
    EXPECT_EQ(run({"1"}).exitStatus, 2);
    EXPECT_FALSE(fs::exists(path(tableName)));
}

TEST_F(EndToEnd, ReportsATableFileThatCannotBeOpened) {
    fs::create_directory(path(tableName));
    const ToolRun result = run({"0", "1", "2", "2"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "gaussian_noise: cannot open '" + tableName + "': Is a directory\n");
}

TEST_F(EndToEnd, ReportsAFullDiskAndStopsDrawing) {
    fs::create_symlink("/dev/full", path(tableName));
    const ToolRun small = run({"0", "1", "2", "2"});
    EXPECT_EQ(small.exitStatus, 1);
    EXPECT_EQ(small.err, "gaussian_noise: cannot write '" + tableName + "': No space left on device\n");
    // A table of 4.6e18 cells: this ends only if the tool stops at the first failure.
    const ToolRun endless = run({"0", "1", "2147483647", "2147483647"});
    EXPECT_EQ(endless.exitStatus, 1);
    EXPECT_EQ(endless.err, small.err);
    const ToolRun threaded = run({"--threads=3", "0", "1", "2147483647", "2147483647"});
    EXPECT_EQ(threaded.exitStatus, 1);
    EXPECT_EQ(threaded.err, small.err);
}

TEST_F(EndToEnd, ReportsAFailedStandardOutput) {
    writeFile(path(tableName), "kept");
    const ToolRun echoFails = run({"0", "1", "2", "2"}, {.standardOutput = "/dev/full"});
    EXPECT_EQ(echoFails.exitStatus, 1);
    EXPECT_EQ(echoFails.err, "gaussian_noise: cannot write standard output: No space left on device\n");
    EXPECT_EQ(text(tableName), "kept");
    const ToolRun helpFails = run({"--help"}, {.standardOutput = "/dev/full"});
    EXPECT_EQ(helpFails.exitStatus, 1);
}

// The man page as plain text: roff's escaped minus signs become hyphens.
std::string manPageText(const fs::path& path) {
    std::string text = readFile(path);
    for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) text.erase(at, 1);
    return text;
}

TEST_F(EndToEnd, HelpAndManPageNameTheSameArgumentsOptionsAndStatuses) {
    const std::string help = run({"--help"}).out;
    const std::string man = manPageText(MAN_PAGE_PATH);
    const std::string readme = readFile(README_PATH);
    for (const std::string word : {"MEAN",
                                   "VARIANCE",
                                   "RUNS",
                                   "SAMPLES",
                                   "-h",
                                   "--help",
                                   "--version",
                                   "generated_noise.csv",
                                   "0 or more",
                                   "0 or less",
                                   "%g",
                                   "-s",
                                   "--seed",
                                   "-o",
                                   "--output",
                                   "-q",
                                   "--quiet",
                                   "--lossless",
                                   "--progress",
                                   "--format",
                                   "generated_noise.npy",
                                   "generated_noise.f32",
                                   "little-endian",
                                   "-T",
                                   "--threads",
                                   "0 to 256",
                                   "4294967295",
                                   "--seed=$(date +%s)",
                                   "--part",
                                   "--rows",
                                   "--list-thrown-pairs",
                                   "--thrown-pairs"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
        EXPECT_NE(man.find(word), std::string::npos) << word;
        EXPECT_NE(readme.find(word), std::string::npos) << word;
    }
    EXPECT_NE(help.find("Exit status: 0 on success, 1 if writing standard output or the file, or\nreading a list of "
                        "thrown pairs, fails, 2 if the command line is rejected"),
              std::string::npos);
    EXPECT_NE(man.find(".SH EXIT STATUS\n.TP\n.B 0\n"), std::string::npos);
}

TEST_F(EndToEnd, InstallsTheToolAndItsManPageUnderAPrefix) {
    const TemporaryDirectory prefix;
    const ToolRun install = run({"--install", BUILD_DIRECTORY, "--prefix", prefix.path().string()},
                                {.program = CMAKE_PATH, .hostProgram = true});
    ASSERT_EQ(install.exitStatus, 0) << install.err;
    const fs::path installed = prefix.path() / "bin" / "gaussian_noise";
    // The installed man page is the one in docs/ with the version in its header.
    std::string man = manPageText(MAN_PAGE_PATH);
    const std::string unversioned = R"("gaussian_noise" "User Commands")";
    ASSERT_NE(man.find(unversioned), std::string::npos);
    man.replace(man.find(unversioned), unversioned.size(),
                "\"gaussian_noise " GAUSSIAN_NOISE_VERSION "\" \"User Commands\"");
    EXPECT_EQ(manPageText(prefix.path() / "share" / "man" / "man1" / "gaussian_noise.1"), man);
    EXPECT_EQ(readFile(prefix.path() / "share" / "bash-completion" / "completions" / "gaussian_noise"),
              readFile(COMPLETION_PATH));

    const ToolRun version = run({"--version"}, {.program = installed.string()});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "gaussian_noise " GAUSSIAN_NOISE_VERSION "\n");
    const ToolRun table = run({"0", "1", "2", "3"}, {.program = installed.string()});
    EXPECT_EQ(table.exitStatus, 0);
    EXPECT_TRUE(writtenWithClockSeed(table, text(tableName), 0.0F, 1.0F, 2, 3));
}

}  // namespace
}  // namespace gaussian_noise::testing
