// The progress report's text: the share it shows, and its fit to a terminal.
#include "progress.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace gaussian_noise {
namespace {

TEST(Progress, NeverShowsAHundredPercentBeforeTheLastCellAndFitsTheTerminal) {
    int master = -1;
    int slave = -1;
    winsize narrow{};
    narrow.ws_col = 50;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, &narrow), 0);
    constexpr std::int64_t cells = 4'000'000'000'000'000'000;
    const Progress onTerminal(slave, cells, true);
    const Progress elsewhere(master, cells, false);  // not a terminal: nothing is left out

    // 99.99999...%: whole percents are rounded down.
    EXPECT_EQ(onTerminal.line(cells - 1, 1, false).substr(0, 20), "gaussian_noise:  99%");
    EXPECT_EQ(onTerminal.line(cells, 1, true).substr(0, 20), "gaussian_noise: 100%");

    // The widest line, a 19-digit count of cells, on 50 columns: the least
    // useful fields go first, and the time stays.
    const std::string fitted = onTerminal.line(cells / 3, 123'456'789'012'345, false);
    EXPECT_LE(fitted.size(), 49U) << fitted;
    EXPECT_EQ(fitted.find("M cells/s"), std::string::npos) << fitted;
    EXPECT_NE(fitted.find(" left"), std::string::npos) << fitted;
    // Elsewhere nothing is left out.
    const std::string whole = elsewhere.line(cells / 3, 123'456'789'012'345, false);
    EXPECT_NE(whole.find("1333333333333333333 of 4000000000000000000 cells, 123 TB, "), std::string::npos) << whole;
    EXPECT_NE(whole.find(" M cells/s, "), std::string::npos) << whole;

    // Where the width is not known, 80 columns.
    narrow.ws_col = 0;
    ::ioctl(slave, TIOCSWINSZ, &narrow);
    EXPECT_LE(onTerminal.line(cells / 3, 123'456'789'012'345, false).size(), 79U);
    ::close(slave);
    ::close(master);
}

}  // namespace
}  // namespace gaussian_noise
