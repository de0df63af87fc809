// One table in parts and in ranges of rows: the parts joined are the whole
// table in every format, a range is a table of its own, with pairs thrown
// away on, just before and just after their edges; bad rows are refused and
// a list of thrown pairs stands in for the scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "expected_table.h"
#include "run_tool.h"

namespace gaussian_noise::testing {
namespace {

using Parts = ToolDirectory;

// Seeds whose sequences throw a pair away (found by tools/rejected_pair_seeds):
// cell 18 of seed 22312356 comes from pair 19, cell 5 of seed 74617010 from
// pair 6, cell 410216 of seed 376 from pair 410217.
struct Thrown {
    unsigned seed;
    int pair;
};
constexpr Thrown early{22312356, 18};
constexpr Thrown earlier{74617010, 5};
constexpr Thrown late{376, 410216};

// Rows first .. last (from 1) of a text table, as a table of their own.
std::string rowsOf(const std::string& table, std::size_t first, std::size_t last) {
    std::size_t begin = 0;
    for (std::size_t row = 1; row < first; ++row) begin = table.find('\n', begin) + 1;
    std::size_t end = begin;
    for (std::size_t row = first; row <= last && end != std::string::npos; ++row) end = table.find('\n', end + 1);
    return table.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

TEST_F(Parts, JoinedAreTheWholeTableInEveryFormat) {
    struct Case {
        Thrown thrown;
        std::string format;
        std::vector<int> partCounts;
        std::vector<std::string> threads;
    };
    // Twenty rows of one cell: twenty parts put an edge at every cell.
    for (const Case& test : {Case{early, "csv", {1, 3, 20, 23}, {"1", "2"}}, Case{earlier, "csv", {20}, {"1"}},
                             Case{early, "npy", {3, 20}, {"1"}}, Case{early, "f32", {20}, {"2"}}}) {
        const std::string seed = std::to_string(test.thrown.seed);
        const std::string format = "--format=" + test.format;
        ASSERT_EQ(run({"-q", "-s", seed, format, "-o", "whole", "1.7", "3.3", "20", "1"}).exitStatus, 0);
        const std::string whole = text("whole");
        if (test.format == "csv") {
            ASSERT_EQ(whole, expectedTable(test.thrown.seed, 1.7F, 3.3F, 20, 1));
        } else {
            ASSERT_EQ(whole.substr(whole.size() - 80), referenceSingles(test.thrown.seed, 1.7F, 3.3F, 20));
        }
        for (const int parts : test.partCounts) {
            for (const std::string& threads : test.threads) {
                std::string joined;
                for (int part = 1; part <= parts; ++part) {
                    const std::string which = "--part=" + std::to_string(part) + "/" + std::to_string(parts);
                    const ToolRun written =
                        run({"-s", seed, format, which, "-T", threads, "-o", "part", "1.7", "3.3", "20", "1"});
                    ASSERT_EQ(written.exitStatus, 0) << written.err;
                    EXPECT_EQ(written.out, echo("1.7", "3.3", "20", "1")) << "the whole table's four values";
                    joined += text("part");
                }
                EXPECT_EQ(joined, whole) << test.format << ", seed " << seed << ", " << parts << " parts, " << threads
                                         << " threads";
            }
        }
    }
}

TEST_F(Parts, ARangeOfRowsIsATableOfItsOwn) {
    const int rows = 410300;
    const std::string table = expectedTable(late.seed, 1.7F, 3.3F, rows, 1);
    const std::string seed = std::to_string(late.seed);
    const int after = late.pair + 1;  // the row whose cell comes just after the pair thrown away
    struct Range {
        int first;
        int last;  // 0 for the table's end
    };
    for (const Range range : {Range{after - 1, after + 1}, Range{after, 0}, Range{after + 1, after + 3},
                              Range{after - 2, after - 1}, Range{1, 1}}) {
        const std::string asked =
            "--rows=" + std::to_string(range.first) + "-" + (range.last == 0 ? "" : std::to_string(range.last));
        const std::size_t last = range.last == 0 ? rows : static_cast<std::size_t>(range.last);
        for (const std::string threads : {"1", "2"}) {
            const ToolRun written =
                run({"-q", "-s", seed, asked, "-T", threads, "-o", "-", "1.7", "3.3", "410300", "1"});
            EXPECT_EQ(written.out, rowsOf(table, static_cast<std::size_t>(range.first), last))
                << asked << ", " << threads << " threads";
        }
    }
    // A part that is not the first begins with the line feed before its first row.
    const ToolRun part =
        run({"-q", "-s", seed, "--part=410219/410300", "-T", "2", "-o", "-", "1.7", "3.3", "410300", "1"});
    EXPECT_EQ(part.out, "\n" + rowsOf(table, after + 2, after + 2));
    // Lossless text and progress, on the cells of the part alone.
    const ToolRun lossless = run(
        {"-q", "-s", seed, "--rows=410217-410218", "--lossless", "--progress", "-o", "-", "1.7", "3.3", "410300", "1"});
    EXPECT_EQ(lossless.out,
              rowsOf(expectedTable(late.seed, 1.7F, 3.3F, 410218, 1, CellText::lossless), 410217, 410218));
    EXPECT_NE(lossless.err.find("100%, 2 of 2 cells, "), std::string::npos) << lossless.err;
    // A range in .npy has a header of its own shape.
    ASSERT_EQ(
        run({"-q", "-s", seed, "--format=npy", "--rows=410216-410218", "-o", "range.npy", "1.7", "3.3", "410300", "1"})
            .exitStatus,
        0);
    const std::string npy = text("range.npy");
    EXPECT_NE(npy.substr(0, 128).find("'shape': (3, 1)"), std::string::npos) << npy.substr(0, 128);
    EXPECT_EQ(npy.substr(128), referenceSingles(late.seed, 1.7F, 3.3F, 410218).substr(std::size_t{4} * 410215));
}

TEST_F(Parts, BadRowsAreRefusedAndLeaveTheFileAlone) {
    writeFile(path("kept.csv"), "kept");
    struct Case {
        std::vector<std::string> options;
        std::string message;  // when not empty
    };
    const std::string partForm = "part must be K/N, with 1 <= K <= N, not ";
    const std::string rowsForm = "rows must be FIRST-LAST or FIRST-, counted from 1, FIRST <= LAST, not ";
    for (const Case& test : {
             Case{{"--part=0/3"}, partForm + "'0/3'"},
             Case{{"--part=4/3"}, ""},
             Case{{"--part=1/0"}, ""},
             Case{{"--part=2"}, ""},
             Case{{"--part=1/2x"}, ""},
             Case{{"--rows=0-3"}, rowsForm + "'0-3'"},
             Case{{"--rows=5-3"}, ""},
             Case{{"--rows=-3"}, ""},
             Case{{"--rows=3"}, ""},
             Case{{"--rows=a-b"}, ""},
             Case{{"--rows=9-11"}, "rows 9-11 pass the end of the table, which has 10 rows"},
             Case{{"--rows=11-"}, "rows 11- pass the end of the table, which has 10 rows"},
             Case{{"--rows=1-2", "--part=1/2"}, "options '--part' and '--rows' cannot be used together"},
         }) {
        std::vector<std::string> line = {"-q", "-s", "5", "-o", "kept.csv"};
        line.insert(line.end(), test.options.begin(), test.options.end());
        line.insert(line.end(), {"0", "1", "10", "2"});
        const ToolRun result = run(line);
        EXPECT_EQ(result.exitStatus, 2) << test.options[0];
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        if (!test.message.empty()) {
            EXPECT_EQ(result.err, "gaussian_noise: " + test.message + "\n");
        }
        EXPECT_EQ(text("kept.csv"), "kept");
    }
    const ToolRun noSeed = run({"-o", "kept.csv", "--part=1/2", "0", "1", "10", "2"});
    EXPECT_EQ(noSeed.exitStatus, 2);
    EXPECT_EQ(noSeed.err,
              "gaussian_noise: option '--part' needs '--seed': parts drawn at different seconds would not fit "
              "together\n");
}

TEST_F(Parts, AListOfThrownPairsStandsInForTheScan) {
    const std::vector<std::string> table = {"1.7", "3.3", "410300", "1"};
    const auto with = [&table](std::vector<std::string> options) {
        options.insert(options.end(), table.begin(), table.end());
        return options;
    };
    const ToolRun listed = run(with({"--list-thrown-pairs", "-s", "376", "-T", "2"}));
    EXPECT_EQ(listed.exitStatus, 0);
    EXPECT_EQ(listed.out, "gaussian_noise thrown pairs: seed 376, cells 410300\n410216\n");
    writeFile(path("list"), listed.out);
    ASSERT_EQ(run(with({"-q", "-s", "376", "--part=2/2", "-o", "scanned"})).exitStatus, 0);
    ASSERT_EQ(run(with({"-q", "-s", "376", "--part=2/2", "--thrown-pairs=list", "-o", "read"})).exitStatus, 0);
    EXPECT_EQ(text("read"), text("scanned"));

    // A list that does not fit, or cannot be read, leaves the output alone.
    writeFile(path("other seed"), "gaussian_noise thrown pairs: seed 377, cells 410300\n");
    writeFile(path("short"), "gaussian_noise thrown pairs: seed 376, cells 100\n");
    writeFile(path("out of order"), "gaussian_noise thrown pairs: seed 376, cells 410300\n7\n5\n");
    writeFile(path("kept.csv"), "kept");
    for (const auto& [list, message] : std::vector<std::pair<std::string, std::string>>{
             {"other seed", "'other seed' lists the thrown pairs of seed 377, not of seed 376"},
             {"short", "'short' lists the thrown pairs of a table of 100 cells, which ends before cell 205151"},
             {"out of order",
              "'out of order' is not a list of thrown pairs: line 3 is not a pair after the one before it"},
             {"missing", "cannot read 'missing': No such file or directory"},
         }) {
        const ToolRun refused =
            run(with({"-q", "-s", "376", "--part=2/2", "--thrown-pairs=" + list, "-o", "kept.csv"}));
        EXPECT_EQ(refused.exitStatus, 1);
        EXPECT_EQ(refused.err, "gaussian_noise: " + message + "\n");
        EXPECT_EQ(text("kept.csv"), "kept");
    }
}

}  // namespace
}  // namespace gaussian_noise::testing
