#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gaussian_noise {
namespace {

// The arguments live on, as a process's do: the settings may view them.
CommandLine parse(const std::vector<const char*>& words) {
    static std::deque<std::string> kept;
    std::vector<char*> arguments(words.size());
    std::transform(words.begin(), words.end(), arguments.begin(),
                   [](const char* word) { return kept.emplace_back(word).data(); });
    return parseCommandLine(arguments);
}

RunSettings settingsOf(const std::vector<const char*>& words) {
    const CommandLine line = parse(words);
    EXPECT_EQ(line.action, Action::run) << line.error.text();
    return line.settings;
}

TEST(CommandLine, ReadsCountsLikeAtoi) {
    EXPECT_EQ(settingsOf({"0", "1", "3", "5"}).runs, 3);
    EXPECT_EQ(settingsOf({"0", "1", "3", "5"}).samplesPerRun, 5);
    EXPECT_EQ(settingsOf({"0", "1", "2.9", "x"}).runs, 2);
    EXPECT_EQ(settingsOf({"0", "1", "abc", "1"}).runs, 0);
    EXPECT_EQ(settingsOf({"0", "1", "-3", "1"}).runs, -3);
    EXPECT_EQ(settingsOf({"0", "1", " \t+7rows", "1"}).runs, 7);
    EXPECT_EQ(settingsOf({"0", "1", "", "1"}).runs, 0);
    EXPECT_EQ(settingsOf({"0", "1", "0x10", "1"}).runs, 0);
    EXPECT_EQ(settingsOf({"0", "1", "2147483647", "-2147483648"}).runs, 2147483647);
    EXPECT_EQ(settingsOf({"0", "1", "2147483647", "-2147483648"}).samplesPerRun, -2147483647 - 1);
    EXPECT_EQ(settingsOf({"0", "1", "0002147483647", "1"}).runs, 2147483647);
}

TEST(CommandLine, ReadsMeanAndVarianceLikeAtofRoundedToFloat) {
    EXPECT_EQ(settingsOf({"3.14159265", "2", "1", "1"}).mean, 3.14159265F);
    EXPECT_EQ(settingsOf({"-1.5e2xyz", "2", "1", "1"}).mean, -150.0F);
    EXPECT_EQ(settingsOf({"abc", "2", "1", "1"}).mean, 0.0F);
    EXPECT_EQ(settingsOf({"0x1p3", "2", "1", "1"}).mean, 8.0F);
    EXPECT_EQ(settingsOf({"1e39", "1e39", "1", "1"}).mean, std::numeric_limits<float>::infinity());
    EXPECT_EQ(settingsOf({"-1e39", "inf", "1", "1"}).mean, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(settingsOf({"3.4028235e38", "1", "1", "1"}).mean, 3.4028235e38F);
    EXPECT_TRUE(std::isnan(settingsOf({"-nan", "1", "1", "1"}).mean));
    EXPECT_TRUE(std::signbit(settingsOf({"-nan", "1", "1", "1"}).mean));
    // Negative zero, and negative values too small for a float, are a variance of 0.
    EXPECT_TRUE(std::signbit(settingsOf({"0", "-0", "1", "1"}).variance));
    EXPECT_EQ(settingsOf({"0", "-1e-50", "1", "1"}).variance, 0.0F);
}

TEST(CommandLine, IgnoresArgumentsAfterTheFourth) {
    const RunSettings settings = settingsOf({"1", "2", "3", "4", "extra", "-1", "-"});
    EXPECT_EQ(settings.mean, 1.0F);
    EXPECT_EQ(settings.variance, 2.0F);
    EXPECT_EQ(settings.runs, 3);
    EXPECT_EQ(settings.samplesPerRun, 4);
}

TEST(CommandLine, AnswersHelpAndVersionAlone) {
    EXPECT_EQ(parse({"-h"}).action, Action::help);
    EXPECT_EQ(parse({"--help"}).action, Action::help);
    EXPECT_EQ(parse({"--version"}).action, Action::version);
}

TEST(CommandLine, AnswersHelpAndVersionWhereverOptionsMayStand) {
    EXPECT_EQ(parse({"--help", "1", "1", "1"}).action, Action::help);
    EXPECT_EQ(parse({"-h", "x"}).action, Action::help);
    EXPECT_EQ(parse({"-q", "--seed=3", "--version", "--bogus"}).action, Action::version);
    EXPECT_EQ(parse({"--bogus", "--help"}).action, Action::reject);  // read in order
    EXPECT_EQ(parse({"--", "--help", "1", "1", "1"}).action, Action::run);
    EXPECT_EQ(parse({"1", "1", "1", "1", "--help"}).action, Action::help);
}

TEST(CommandLine, ReadsOptionsBeforeTheValues) {
    RunSettings settings =
        settingsOf({"-s", "42", "-o", "out.csv", "-q", "--lossless", "--progress", "1", "2", "3", "4"});
    EXPECT_EQ(settings.seed, 42U);
    EXPECT_EQ(settings.output, "out.csv");
    EXPECT_TRUE(settings.quiet);
    EXPECT_EQ(settings.cellText, CellText::lossless);
    EXPECT_TRUE(settings.progress);
    EXPECT_EQ(settings.mean, 1.0F);
    EXPECT_EQ(settings.samplesPerRun, 4);

    EXPECT_EQ(settings.threads, 1U);
    EXPECT_EQ(settingsOf({"-T", "0", "1", "2", "3", "4"}).threads, 0U);
    EXPECT_EQ(settingsOf({"--threads=256", "1", "2", "3", "4"}).threads, 256U);
    EXPECT_EQ(settingsOf({"--threads", "007", "1", "2", "3", "4"}).threads, 7U);

    settings = settingsOf({"--seed=4294967295", "--output", "-", "--seed", "007", "--output=--", "1", "2", "3", "4"});
    EXPECT_EQ(settings.seed, 7U);  // the last one counts
    EXPECT_EQ(settings.output, "--");

    settings = settingsOf({"0", "1", "2", "3"});
    EXPECT_EQ(settings.seed, std::nullopt);
    EXPECT_EQ(settings.output, "generated_noise.csv");
    EXPECT_FALSE(settings.quiet || settings.progress);
    EXPECT_EQ(settings.cellText, CellText::general);
    EXPECT_EQ(settings.format, TableFormat::csv);
}

TEST(CommandLine, ReadsTheFormatAndNamesItsDefaultFile) {
    EXPECT_EQ(settingsOf({"--format=npy", "0", "1", "2", "3"}).output, "generated_noise.npy");
    EXPECT_EQ(settingsOf({"--format", "f32", "0", "1", "2", "3"}).output, "generated_noise.f32");
    EXPECT_EQ(settingsOf({"--format=f32", "0", "1", "2", "3"}).format, TableFormat::f32);
    RunSettings settings = settingsOf({"-o", "t.bin", "--format=npy", "--progress", "0", "1", "2", "3"});
    EXPECT_EQ(settings.format, TableFormat::npy);
    EXPECT_EQ(settings.output, "t.bin");
    settings = settingsOf({"--format=npy", "--lossless", "--format=csv", "0", "1", "2", "3"});
    EXPECT_EQ(settings.output, "generated_noise.csv");  // the last format counts
    EXPECT_EQ(settings.cellText, CellText::lossless);
}

TEST(CommandLine, ReadsShortOptionsWithTheirValuesAndInBundles) {
    RunSettings settings = settingsOf({"-s42", "-o-", "1", "2", "3", "4"});
    EXPECT_EQ(settings.seed, 42U);
    EXPECT_EQ(settings.output, "-");
    EXPECT_EQ(settings.mean, 1.0F);
    settings = settingsOf({"-qs", "5", "-ofile.csv", "1", "2", "3", "4"});
    EXPECT_TRUE(settings.quiet);
    EXPECT_EQ(settings.seed, 5U);
    EXPECT_EQ(settings.output, "file.csv");
    EXPECT_EQ(settings.seed, settingsOf({"-qs5", "1", "2", "3", "4"}).seed);
    EXPECT_EQ(settingsOf({"-oq", "1", "2", "3", "4"}).output, "q");  // a value, not -q
    EXPECT_EQ(parse({"-qhx"}).action, Action::help);
    for (const auto& [word, named] : std::vector<std::pair<const char*, const char*>>{
             {"-qx", "'-x' in '-qx'"}, {"-sq", "'q'"}, {"-s4x", "'4x'"}, {"-qs", "'-s' needs a value"}}) {
        const CommandLine line = parse({word});
        EXPECT_EQ(line.action, Action::reject) << word;
        EXPECT_NE(line.error.text().find(named), std::string::npos) << line.error.text();
    }
}

TEST(CommandLine, ReadsOptionsAmongAndAfterTheValues) {
    const RunSettings settings = settingsOf({"0", "-q", "1", "-s", "7", "-5", "3", "extra", "-ofile", "--lossless"});
    EXPECT_EQ(settings.variance, 1.0F);
    EXPECT_EQ(settings.runs, -5);
    EXPECT_EQ(settings.samplesPerRun, 3);
    EXPECT_TRUE(settings.quiet);
    EXPECT_EQ(settings.seed, 7U);
    EXPECT_EQ(settings.output, "file");
    EXPECT_EQ(settings.cellText, CellText::lossless);
    EXPECT_EQ(settingsOf({"0", "1", "--", "2", "3"}).runs, 2);
    EXPECT_EQ(settingsOf({"0", "1", "2", "3", "--", "--bogus"}).runs, 2);
    const CommandLine unknown = parse({"0", "1", "2", "3", "--bogus"});
    EXPECT_EQ(unknown.action, Action::reject);
    EXPECT_NE(unknown.error.text().find("'--bogus'"), std::string::npos) << unknown.error.text();
}

TEST(CommandLine, ReadsNegativeNumbersAndWordsAfterDashDashAsValues) {
    for (const char* mean : {"-1", "-.5", "-1e3", "-inf", "-0x1p3", "-"}) {
        EXPECT_EQ(settingsOf({mean, "1", "2", "3"}).mean, static_cast<float>(std::strtod(mean, nullptr))) << mean;
    }
    EXPECT_TRUE(std::isnan(settingsOf({"-nan", "1", "2", "3"}).mean));
    EXPECT_EQ(settingsOf({"-q", "--", "-q", "1", "2", "3"}).mean, 0.0F);
    EXPECT_EQ(settingsOf({"--", "--", "1", "2", "3"}).runs, 2);
}

TEST(CommandLine, RejectsBadOptionsNamingThem) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"--bogus", "1", "2", "3", "4"}, "'--bogus'"},
        {{"--seed=1x", "1", "2", "3", "4"}, "'1x'"},
        {{"--seed=abc", "1", "2", "3", "4"}, "'abc'"},
        {{"-s", "-1", "1", "2", "3", "4"}, "'-1'"},
        {{"-s", "4294967296", "1", "2", "3", "4"}, "'4294967296'"},
        {{"-s", "99999999999999999999", "1", "2", "3", "4"}, "'99999999999999999999'"},
        {{"--seed=", "1", "2", "3", "4"}, "''"},
        {{"-s", " 1", "1", "2", "3", "4"}, "' 1'"},
        {{"-s", "+1", "1", "2", "3", "4"}, "'+1'"},
        {{"--seed"}, "'--seed'"},
        {{"-o"}, "'-o'"},
        {{"--output=", "1", "2", "3", "4"}, "'--output'"},
        {{"-o", "", "1", "2", "3", "4"}, "'-o'"},
        {{"--quiet=yes", "1", "2", "3", "4"}, "'--quiet'"},
        {{"--format=NPY", "1", "2", "3", "4"}, "unknown format 'NPY'"},
        {{"--format=", "1", "2", "3", "4"}, "unknown format ''"},
        {{"--format"}, "'--format'"},
        {{"--lossless", "--format=npy", "1", "2", "3", "4"}, "binary formats are exact already"},
        {{"--format=f32", "--lossless", "1", "2", "3", "4"}, "binary formats are exact already"},
        {{"--seed=5", "1", "2", "3"}, "usage: gaussian_noise"},
        {{"--threads=257", "1", "2", "3", "4"}, "threads must be a whole number from 0 to 256, not '257'"},
        {{"-T", "-1", "1", "2", "3", "4"}, "'-1'"},
        {{"-T", "+2", "1", "2", "3", "4"}, "'+2'"},
        {{"-T", "2x", "1", "2", "3", "4"}, "'2x'"},
        {{"--threads=", "1", "2", "3", "4"}, "''"},
        {{"-T", "99999999999999999999", "1", "2", "3", "4"}, "'99999999999999999999'"},
    };
    for (const auto& [words, named] : cases) {
        const CommandLine line = parse(words);
        EXPECT_EQ(line.action, Action::reject) << words.front();
        EXPECT_NE(line.error.text().find(named), std::string::npos) << line.error.text();
    }
}

TEST(CommandLine, RejectsWhatCannotBeRun) {
    for (const auto& words : std::vector<std::vector<const char*>>{{}, {"1"}, {"1", "2", "3"}, {"--verbose"}}) {
        const CommandLine line = parse(words);
        EXPECT_EQ(line.action, Action::reject);
        EXPECT_NE(line.error.text().find("usage: gaussian_noise MEAN VARIANCE RUNS SAMPLES"), std::string::npos);
    }
    for (const char* variance : {"-1", "-1e-30", "nan", "-nan", "-inf"}) {
        const CommandLine line = parse({"0", variance, "1", "1"});
        EXPECT_EQ(line.action, Action::reject) << variance;
        EXPECT_NE(line.error.text().find(std::string("'") + variance + "'"), std::string::npos) << line.error.text();
    }
    for (const char* count : {"2147483648", "-2147483649", "99999999999999999999999", " -00009999999999"}) {
        EXPECT_EQ(parse({"0", "1", count, "1"}).action, Action::reject) << count;
        const CommandLine line = parse({"0", "1", "1", count});
        EXPECT_EQ(line.action, Action::reject) << count;
        EXPECT_NE(line.error.text().find("samples per run"), std::string::npos) << line.error.text();
    }
}

}  // namespace
}  // namespace gaussian_noise
