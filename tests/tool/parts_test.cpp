// One table in parts and in ranges of rows: the parts joined are the whole
// table in every format, a range is a table of its own, with pairs thrown
// away on, just before and just after their edges; bad rows are refused and
// a list of thrown pairs stands in for the scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
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

// FNV-1a over 64-bit words, least significant byte first, in hexadecimal:
// the digest a list's closing line names, worked out here from its definition.
std::string listDigest(const std::vector<std::uint64_t>& words) {
    std::uint64_t hash = 0xcbf29ce484222325U;
    for (const std::uint64_t word : words) {
        for (unsigned byte = 0; byte < 8; ++byte) hash = (hash ^ ((word >> (8 * byte)) & 0xFFU)) * 0x100000001b3U;
    }
    char text[17];
    (void)std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

TEST_F(Parts, AListOfThrownPairsStandsInForTheScan) {
    const std::vector<std::string> table = {"1.7", "3.3", "410300", "1"};
    const auto with = [&table](std::vector<std::string> options) {
        options.insert(options.end(), table.begin(), table.end());
        return options;
    };
    const ToolRun listed = run(with({"--list-thrown-pairs", "-s", "376", "-T", "2", "--progress"}));
    EXPECT_EQ(listed.exitStatus, 0);
    const std::string header = "gaussian_noise thrown pairs: seed 376, cells 410300\n";
    const std::string whole = header + "410216\nend: 1 pairs, digest " + listDigest({376, 410300, 410216}) + "\n";
    EXPECT_EQ(listed.out, whole);
    EXPECT_NE(listed.err.find("gaussian_noise: scanning 100%, 410300 of 410300 cells, "), std::string::npos)
        << listed.err;
    writeFile(path("list"), listed.out);
    ASSERT_EQ(run(with({"-q", "-s", "376", "--part=2/2", "-o", "scanned"})).exitStatus, 0);
    ASSERT_EQ(run(with({"-q", "-s", "376", "--part=2/2", "--thrown-pairs=list", "-o", "read"})).exitStatus, 0);
    EXPECT_EQ(text("read"), text("scanned"));

    // A list that does not fit, is not whole or was changed, or cannot be
    // read, leaves the output alone.
    writeFile(path("other seed"), "gaussian_noise thrown pairs: seed 377, cells 410300\n");
    writeFile(path("last seed"), "gaussian_noise thrown pairs: seed 18446744073709551615, cells 410300\n");
    writeFile(path("short"), "gaussian_noise thrown pairs: seed 376, cells 100\n");
    writeFile(path("out of order"), header + "7\n5\n");
    writeFile(path("cut"), header + "410216\n");
    writeFile(path("cut in a line"), header + "410216\nend: 1 pa");
    writeFile(path("changed"), header + "410215\nend: 1 pairs, digest " + listDigest({376, 410300, 410216}) + "\n");
    writeFile(path("miscounted"), header + "410216\nend: 2 pairs, digest " + listDigest({376, 410300, 410216}) + "\n");
    writeFile(path("past the end"), header + "410216\n410301\n");
    writeFile(path("carriage returns"), "gaussian_noise thrown pairs: seed 376, cells 410300\r\n");
    writeFile(path("long line"), header + std::string(5000, '1') + "\n");
    writeFile(path("more"), whole + "410217\n");
    std::filesystem::create_directory(path("directory"));
    writeFile(path("kept.csv"), "kept");
    const std::string notAList = "is not a list of thrown pairs: ";
    for (const auto& [list, message] : std::vector<std::pair<std::string, std::string>>{
             {"other seed", "'other seed' lists the thrown pairs of seed 377, not of seed 376"},
             {"last seed", "'last seed' lists the thrown pairs of seed 18446744073709551615, not of seed 376"},
             {"short", "'short' lists the thrown pairs of a table of 100 cells, which ends before cell 205151"},
             {"out of order", "'out of order' " + notAList + "line 3 is not a pair after the one before it"},
             {"cut", "'cut' " + notAList +
                         "it ends without its closing line: cut short, or written by version 1.3.0 or earlier (write "
                         "it again with --list-thrown-pairs)"},
             {"cut in a line", "'cut in a line' " + notAList + "its last line is cut short"},
             {"changed",
              "'changed' is not a whole list of thrown pairs: its digest is not that of its lines: it was "
              "changed since it was written"},
             {"miscounted",
              "'miscounted' is not a whole list of thrown pairs: its closing line counts 2 pairs, but "
              "it lists 1"},
             {"past the end", "'past the end' " + notAList + "line 3 is not a pair before the table's end"},
             {"carriage returns",
              "'carriage returns' " + notAList + "line 1 is not a line of a list: it ends with a carriage return"},
             {"long line", "'long line' " + notAList + "line 2 is not a line of a list: it is too long"},
             {"more", "'more' is not a whole list of thrown pairs: it goes on after its closing line"},
             {"directory", "cannot read 'directory': Is a directory"},
             {"missing", "cannot read 'missing': No such file or directory"},
         }) {
        const ToolRun refused =
            run(with({"-q", "-s", "376", "--part=2/2", "--thrown-pairs=" + list, "-o", "kept.csv"}));
        EXPECT_EQ(refused.exitStatus, 1) << list;
        EXPECT_EQ(refused.err, "gaussian_noise: " + message + "\n");
        EXPECT_EQ(text("kept.csv"), "kept");
    }
}

// The list is of the whole table and is no table: options about rows or
// cells are refused with it, and so is a --rows range that names row 0.
TEST_F(Parts, OptionsThatMakeNoSenseTogetherAreRefused) {
    writeFile(path("kept.csv"), "kept");
    const std::string rowsForm = "rows must be FIRST-LAST or FIRST-, counted from 1, FIRST <= LAST, not ";
    const auto list = [](std::string option) {
        return "option '--list-thrown-pairs' cannot be used with '" +
               option.append("': it writes the list of the whole table's thrown pairs, not a table");
    };
    for (const auto& [options, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--list-thrown-pairs", "--part=1/2"}, list("--part")},
             {{"--list-thrown-pairs", "--rows=1-2"}, list("--rows")},
             {{"--list-thrown-pairs", "--thrown-pairs=kept.csv"}, list("--thrown-pairs")},
             {{"--list-thrown-pairs", "--format=npy"}, list("--format")},
             {{"--list-thrown-pairs", "--lossless"}, list("--lossless")},
             {{"--rows=3-0"}, rowsForm + "'3-0'"},
             {{"--rows=1-00"}, rowsForm + "'1-00'"},
             {{"--rows=6-0"}, rowsForm + "'6-0'"},
         }) {
        std::vector<std::string> line = {"-q", "-s", "5", "-o", "kept.csv"};
        line.insert(line.end(), options.begin(), options.end());
        line.insert(line.end(), {"0", "1", "5", "3"});
        const ToolRun refused = run(line);
        EXPECT_EQ(refused.exitStatus, 2) << options.back();
        EXPECT_EQ(refused.err, "gaussian_noise: " + message + "\n");
        EXPECT_EQ(text("kept.csv"), "kept");
    }
    // A range that ends at the last row, or is the last row alone, is the table's end.
    const std::string table = expectedTable(5, 0.0F, 1.0F, 5, 3);
    const std::string lastRow = table.substr(table.rfind('\n') + 1);
    EXPECT_EQ(run({"-q", "-s", "5", "--rows=5-5", "-o", "-", "0", "1", "5", "3"}).out, lastRow);
    EXPECT_EQ(run({"-q", "-s", "5", "--rows=1-5", "-o", "-", "0", "1", "5", "3"}).out, table);
}

// A part or range without cells draws nothing, and so scans nothing: the
// last part of the largest table, which would scan some 4.6e18 pairs before
// it, ends at once.
TEST_F(Parts, APartWithoutCellsFinishesAtOnce) {
    const ToolRun empty =
        run({"-q", "-s", "1", "--part=4294967295/4294967295", "-o", "-", "0", "1", "2147483647", "2147483647"});
    EXPECT_EQ(empty.exitStatus, 0);
    EXPECT_EQ(empty.out, "");
    const ToolRun noCells = run({"-q", "-s", "1", "--rows=2147483647-", "-o", "-", "0", "1", "2147483647", "0"});
    EXPECT_EQ(noCells.exitStatus, 0);
    EXPECT_EQ(noCells.out, "");
}

}  // namespace
}  // namespace gaussian_noise::testing
