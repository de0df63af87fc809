// Runs the reader scripts of examples/ on tables the tool wrote, through all
// four readers (numpy, pandas, R's read.csv and data.table's fread), and
// checks that each reads a RUNS x SAMPLES matrix of the table's numbers.
#include <gtest/gtest.h>

#include <cmath>
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
    summary.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    const double squares = std::accumulate(samples.begin(), samples.end(), 0.0, [&](double total, double sample) {
        return total + (sample - summary.mean) * (sample - summary.mean);
    });
    summary.variance = squares / static_cast<double>(samples.size() - 1);
    return summary;
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
        const Summary read = parseSummary(run.out);
        EXPECT_EQ(read.rows, expected.rows) << run.out;
        EXPECT_EQ(read.columns, expected.columns) << run.out;
        EXPECT_NEAR(read.mean, expected.mean, 1e-8 * std::fmax(1, std::fabs(expected.mean))) << run.out;
        EXPECT_NEAR(read.variance, expected.variance, 1e-8 * std::fmax(1, expected.variance)) << run.out;
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

}  // namespace
}  // namespace gaussian_noise::testing
