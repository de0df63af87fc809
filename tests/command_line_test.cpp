#include "command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace gaussian_noise {
namespace {

CommandLine parse(const std::vector<const char*>& words) {
    std::vector<std::string> storage(words.begin(), words.end());
    std::vector<char*> arguments(storage.size());
    std::transform(storage.begin(), storage.end(), arguments.begin(), [](std::string& word) { return word.data(); });
    return parseCommandLine(arguments);
}

RunSettings settingsOf(const std::vector<const char*>& words) {
    const CommandLine line = parse(words);
    EXPECT_EQ(line.action, Action::run) << line.error;
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
    const RunSettings settings = settingsOf({"1", "2", "3", "4", "--help", "-1"});
    EXPECT_EQ(settings.mean, 1.0F);
    EXPECT_EQ(settings.variance, 2.0F);
    EXPECT_EQ(settings.runs, 3);
    EXPECT_EQ(settings.samplesPerRun, 4);
}

TEST(CommandLine, AnswersHelpAndVersionAlone) {
    EXPECT_EQ(parse({"-h"}).action, Action::help);
    EXPECT_EQ(parse({"--help"}).action, Action::help);
    EXPECT_EQ(parse({"--version"}).action, Action::version);
    EXPECT_EQ(parse({"--help", "1", "1", "1"}).action, Action::run);  // read as a mean of 0
}

TEST(CommandLine, RejectsWhatCannotBeRun) {
    for (const auto& words :
         std::vector<std::vector<const char*>>{{}, {"1"}, {"1", "2", "3"}, {"--verbose"}, {"-h", "x"}}) {
        const CommandLine line = parse(words);
        EXPECT_EQ(line.action, Action::reject);
        EXPECT_NE(line.error.find("usage: gaussian_noise MEAN VARIANCE RUNS SAMPLES"), std::string::npos);
    }
    for (const char* variance : {"-1", "-1e-30", "nan", "-nan", "-inf"}) {
        const CommandLine line = parse({"0", variance, "1", "1"});
        EXPECT_EQ(line.action, Action::reject) << variance;
        EXPECT_NE(line.error.find(std::string("'") + variance + "'"), std::string::npos) << line.error;
    }
    for (const char* count : {"2147483648", "-2147483649", "99999999999999999999999", " -00009999999999"}) {
        EXPECT_EQ(parse({"0", "1", count, "1"}).action, Action::reject) << count;
        const CommandLine line = parse({"0", "1", "1", count});
        EXPECT_EQ(line.action, Action::reject) << count;
        EXPECT_NE(line.error.find("samples per run"), std::string::npos) << line.error;
    }
}

}  // namespace
}  // namespace gaussian_noise
