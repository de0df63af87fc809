// Runs the reader scripts of examples/ on tables the tool wrote, through all
// four readers (numpy, pandas, R's read.csv and data.table's fread), and
// checks that each reads a RUNS x SAMPLES matrix of the table's numbers; and
// reads the binary tables with numpy's and R's own readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "run_tool.h"

namespace gaussian_noise::testing {
namespace {

namespace fs = std::filesystem;

struct Reader {
    std::string program;             // the interpreter
    std::string script;              // the reader script it runs
    std::string name;                // the script's name for the reader
    std::vector<std::string> probe;  // arguments that fail where the reader is missing
    std::string package;             // the Debian package that brings it
};

const std::vector<Reader>& readers() {
    static const std::vector<Reader> all = {
        {PYTHON_PATH, EXAMPLES_DIRECTORY "/read_table.py", "numpy", {"-c", "import numpy"}, "python3-numpy"},
        {PYTHON_PATH, EXAMPLES_DIRECTORY "/read_table.py", "pandas", {"-c", "import pandas"}, "python3-pandas"},
        {RSCRIPT_PATH, EXAMPLES_DIRECTORY "/read_table.R", "base", {"-e", "invisible(0)"}, "r-base-core"},
        {RSCRIPT_PATH,
         EXAMPLES_DIRECTORY "/read_table.R",
         "data.table",
         {"-e", "library(data.table)"},
         "r-cran-data.table"},
    };
    return all;
}

// What a script printed: rows R columns C mean M variance V.
struct Summary {
    int rows = -1;
    int columns = -1;
    double mean = NAN;
    double variance = NAN;
};

Summary parseSummary(const std::string& line) {
    std::istringstream in(line);
    std::string rows;
    std::string columns;
    std::string mean;
    std::string variance;
    Summary summary;
    in >> rows >> summary.rows >> columns >> summary.columns >> mean >> summary.mean >> variance >> summary.variance;
    if (!in || rows != "rows" || columns != "columns" || mean != "mean" || variance != "variance") return {};
    return summary;
}

// The summary of the samples of a rows x columns matrix.
Summary summariseSamples(const std::vector<double>& samples, int rows, int columns) {
    Summary summary{.rows = rows, .columns = columns};
    summary.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    const double squares = std::accumulate(samples.begin(), samples.end(), 0.0, [&](double total, double sample) {
        return total + (sample - summary.mean) * (sample - summary.mean);
    });
    summary.variance = squares / static_cast<double>(samples.size() - 1);
    return summary;
}

// The same summary, computed here from the table's text.
Summary summarise(const std::string& table) {
    std::vector<double> samples;
    Summary summary{.rows = 0, .columns = 0};
    std::istringstream rows(table);
    for (std::string row; std::getline(rows, row); ++summary.rows) {
        int columns = 0;
        for (std::size_t start = 0, comma = row.find(','); comma != std::string::npos;
             start = comma + 1, comma = row.find(',', start), ++columns) {
            samples.push_back(std::strtod(row.substr(start, comma - start).c_str(), nullptr));
        }
        if (summary.rows != 0 && columns != summary.columns) return {};
        summary.columns = columns;
    }
    return summariseSamples(samples, summary.rows, summary.columns);
}

void expectSummary(const std::string& printed, const Summary& expected) {
    const Summary read = parseSummary(printed);
    EXPECT_EQ(read.rows, expected.rows) << printed;
    EXPECT_EQ(read.columns, expected.columns) << printed;
    EXPECT_NEAR(read.mean, expected.mean, 1e-8 * std::fmax(1, std::fabs(expected.mean))) << printed;
    EXPECT_NEAR(read.variance, expected.variance, 1e-8 * std::fmax(1, expected.variance)) << printed;
}

// Runs each reader on the table and checks that it reads what the reference
// summary says, to the ten digits the scripts print. Where a reader fails,
// a probe tells whether it is missing, to name the package to install.
void expectEveryReaderSees(const fs::path& table, const Summary& expected) {
    const TemporaryDirectory directory;
    for (const Reader& reader : readers()) {
        SCOPED_TRACE(reader.name);
        if (!fs::exists(reader.program)) {
            ADD_FAILURE() << "no interpreter '" << reader.program << "' for the " << reader.name << " reader: install "
                          << reader.package << " (apt-get install " << reader.package << ")";
            continue;
        }
        const ToolRun run = runTool(directory.path(), {reader.script, table.string(), reader.name},
                                    {.program = reader.program, .hostProgram = true});
        if (run.exitStatus != 0 &&
            runTool(directory.path(), reader.probe, {.program = reader.program, .hostProgram = true}).exitStatus != 0) {
            ADD_FAILURE() << "the " << reader.name << " reader is missing: install " << reader.package
                          << " (apt-get install " << reader.package << ")\n"
                          << run.err;
            continue;
        }
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        expectSummary(run.out, expected);
    }
}

TEST(ReadTable, EveryReaderGetsTheTableAsARunsBySamplesMatrix) {
    const TemporaryDirectory directory;
    ASSERT_EQ(runTool(directory.path(), {"2", "9", "300", "40"}).exitStatus, 0);
    const fs::path table = directory.path() / "generated_noise.csv";
    const Summary reference = summarise(readFile(table));
    ASSERT_EQ(reference.rows, 300);
    ASSERT_EQ(reference.columns, 40);
    // Five standard errors of the mean and of the variance of 12000 normal samples.
    const double samples = 300 * 40;
    EXPECT_NEAR(reference.mean, 2, 5 * std::sqrt(9 / samples));
    EXPECT_NEAR(reference.variance, 9, 5 * 9 * std::sqrt(2 / (samples - 1)));
    expectEveryReaderSees(table, reference);
}

TEST(ReadTable, EveryReaderGetsAOneRowTable) {
    const TemporaryDirectory directory;
    ASSERT_EQ(runTool(directory.path(), {"5", "0", "1", "3"}).exitStatus, 0);
    const fs::path table = directory.path() / "generated_noise.csv";
    ASSERT_EQ(readFile(table), "5,5,5,");
    expectEveryReaderSees(table, {.rows = 1, .columns = 3, .mean = 5, .variance = 0});
}

// Runs a program of the build machine, such as an interpreter, in `directory`.
ToolRun runHost(const fs::path& directory, const std::string& program, const std::vector<std::string>& arguments) {
    return runTool(directory, arguments, {.program = program, .hostProgram = true});
}

// Bit patterns of floats written as text, one per blank-separated word (or
// comma-terminated cell), each read back by strtof.
std::vector<std::uint32_t> bitsOfText(std::string text) {
    std::replace(text.begin(), text.end(), ',', ' ');
    std::istringstream words(text);
    std::vector<std::uint32_t> bits;
    for (std::string word; words >> word;)
        bits.push_back(std::bit_cast<std::uint32_t>(std::strtof(word.c_str(), nullptr)));
    return bits;
}

// numpy's header reader and np.load on a .npy file, and np.fromfile on an .f32
// file: the header's fields, then each array's bits in hexadecimal on a line.
const char* const numpyReadsBoth = R"(
import sys
import numpy as np
from numpy.lib import format
with open(sys.argv[1], "rb") as npy:
    version = format.read_magic(npy)
    shape, fortran_order, dtype = format.read_array_header_1_0(npy)
    print(version, shape, fortran_order, dtype.str, npy.tell() % 64)
loaded = np.load(sys.argv[1], mmap_mode="r")
print(loaded.dtype.str, loaded.shape)
for array in (loaded, np.fromfile(sys.argv[2], dtype="<f4")):
    print(" ".join("%08x" % bits for bits in array.view("<u4").ravel()))
)";

// R's readBin on an .f32 file, each value with the nine digits that name a float.
const char* const readBinReads = R"(
path <- commandArgs(trailingOnly = TRUE)[1]
values <- readBin(path, "double", n = file.size(path) / 4, size = 4, endian = "little")
cat(sprintf("%.9g", values), "\n")
)";

std::vector<std::uint32_t> hexWords(const std::string& line) {
    std::istringstream words(line);
    std::vector<std::uint32_t> bits;
    for (std::string word; words >> word;) bits.push_back(static_cast<std::uint32_t>(std::stoul(word, nullptr, 16)));
    return bits;
}

TEST(ReadTable, BinaryTablesHoldTheSamplesOfTheLosslessTextBitForBit) {
    const TemporaryDirectory directory;
    const fs::path& here = directory.path();
    const std::vector<std::string> values = {"2", "9", "30", "40"};
    auto tool = [&](std::vector<std::string> options) {
        options.insert(options.end(), values.begin(), values.end());
        ASSERT_EQ(runTool(here, options).exitStatus, 0);
    };
    tool({"-q", "-s", "7", "--lossless", "-o", "lossless.csv"});
    tool({"-q", "-s", "7", "--format=npy"});
    tool({"-q", "-s", "7", "--format=f32", "-o", "table.f32"});
    const std::vector<std::uint32_t> expected = bitsOfText(readFile(here / "lossless.csv"));
    ASSERT_EQ(expected.size(), 1200U);

    const ToolRun numpy = runHost(here, PYTHON_PATH, {"-c", numpyReadsBoth, "generated_noise.npy", "table.f32"});
    ASSERT_EQ(numpy.exitStatus, 0) << numpy.err << "(needs python3-numpy)";
    std::istringstream lines(numpy.out);
    std::string header;
    std::string loaded;
    std::string loadedBits;
    std::string rawBits;
    std::getline(lines, header);
    std::getline(lines, loaded);
    std::getline(lines, loadedBits);
    std::getline(lines, rawBits);
    EXPECT_EQ(header, "(1, 0) (30, 40) False <f4 0");
    EXPECT_EQ(loaded, "<f4 (30, 40)");
    EXPECT_EQ(hexWords(loadedBits), expected);
    EXPECT_EQ(hexWords(rawBits), expected);

    const ToolRun r = runHost(here, RSCRIPT_PATH, {"-e", readBinReads, "table.f32"});
    ASSERT_EQ(r.exitStatus, 0) << r.err << "(needs r-base-core)";
    EXPECT_EQ(bitsOfText(r.out), expected);

    // The example scripts print the summary of the samples themselves.
    std::vector<double> samples(expected.size());
    std::transform(expected.begin(), expected.end(), samples.begin(),
                   [](std::uint32_t bits) { return std::bit_cast<float>(bits); });
    const Summary summary = summariseSamples(samples, 30, 40);
    for (const std::vector<std::string>& script :
         {std::vector<std::string>{PYTHON_PATH, EXAMPLES_DIRECTORY "/read_table.py"},
          std::vector<std::string>{RSCRIPT_PATH, EXAMPLES_DIRECTORY "/read_table.R"}}) {
        for (const std::vector<std::string>& table :
             {std::vector<std::string>{"generated_noise.npy"}, std::vector<std::string>{"table.f32", "40"}}) {
            std::vector<std::string> arguments{script[1]};
            arguments.insert(arguments.end(), table.begin(), table.end());
            const ToolRun run = runHost(here, script[0], arguments);
            ASSERT_EQ(run.exitStatus, 0) << run.err;
            SCOPED_TRACE(script[1] + " " + table[0]);
            expectSummary(run.out, summary);
        }
    }
}

TEST(ReadTable, EmptyBinaryTablesLoadWithTheirShapes) {
    const TemporaryDirectory directory;
    struct Shape {
        const char* runs;
        const char* samples;
        const char* loaded;  // what numpy says of the array
    };
    for (const Shape shape : {Shape{"0", "5", "(0, 5) 0"}, Shape{"3", "0", "(3, 0) 0"}, Shape{"-2", "-7", "(0, 0) 0"},
                              Shape{"-1", "4", "(0, 4) 0"}}) {
        ASSERT_EQ(runTool(directory.path(), {"-q", "--format=npy", "0", "1", shape.runs, shape.samples}).exitStatus, 0);
        const ToolRun numpy =
            runHost(directory.path(), PYTHON_PATH,
                    {"-c", "import numpy; a = numpy.load('generated_noise.npy'); print(a.shape, a.size)"});
        EXPECT_EQ(numpy.out, std::string(shape.loaded) + "\n") << numpy.err;
    }
}

}  // namespace
}  // namespace gaussian_noise::testing
