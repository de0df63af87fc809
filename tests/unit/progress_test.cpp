// The progress report's text: the share it shows, its fit to a terminal,
// and what it counts.
#include "io/progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <string>

#include "io/output.h"
#include "table/table_writer.h"

namespace gaussian_noise {
namespace {

TEST(Progress, NeverShowsAHundredPercentBeforeTheLastCellAndFitsTheTerminal) {
    int master = -1;
    int slave = -1;
    winsize narrow{};
    narrow.ws_col = 50;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, &narrow), 0);
    std::array<int, 2> pipe{};
    ASSERT_EQ(::pipe(pipe.data()), 0);
    constexpr std::int64_t cells = 4'000'000'000'000'000'000;
    const Progress onTerminal(slave, cells, -1);
    const Progress elsewhere(pipe[1], cells, -1);  // not a terminal: nothing is left out

    // 99.99999...%: whole percents are rounded down.
    EXPECT_EQ(onTerminal.line(cells - 1, 1, false).view().substr(0, 20), "gaussian_noise:  99%");
    EXPECT_EQ(onTerminal.line(cells, 1, true).view().substr(0, 20), "gaussian_noise: 100%");

    // The widest line, a 19-digit count of cells, on 50 columns: the least
    // useful fields go first, and the time stays.
    const std::string fitted(onTerminal.line(cells / 3, 123'456'789'012'345, false).view());
    EXPECT_LE(fitted.size(), 49U) << fitted;
    EXPECT_EQ(fitted.find("M cells/s"), std::string::npos) << fitted;
    EXPECT_NE(fitted.find(" left"), std::string::npos) << fitted;
    // Elsewhere nothing is left out.
    const std::string whole(elsewhere.line(cells / 3, 123'456'789'012'345, false).view());
    EXPECT_NE(whole.find("1333333333333333333 of 4000000000000000000 cells, 123 TB, "), std::string::npos) << whole;
    EXPECT_NE(whole.find(" M cells/s, "), std::string::npos) << whole;

    // Narrower than the name and the share: the share alone, then nothing.
    for (const auto& [columns, shown] : {std::pair<unsigned short, std::string>{21, "gaussian_noise:  33%"},
                                         {20, "33%"},
                                         {4, "33%"},
                                         {3, ""},
                                         {1, ""}}) {
        narrow.ws_col = columns;
        ::ioctl(slave, TIOCSWINSZ, &narrow);
        EXPECT_EQ(onTerminal.line(cells / 3, 1, false).view(), shown) << columns << " columns";
    }

    // Where the width is not known, 80 columns.
    narrow.ws_col = 0;
    ::ioctl(slave, TIOCSWINSZ, &narrow);
    EXPECT_LE(onTerminal.line(cells / 3, 123'456'789'012'345, false).view().size(), 79U);
    for (const int fd : {slave, master, pipe[0], pipe[1]}) ::close(fd);
}

// A table whose one write fails: the report, made at every update, never
// counts the cells that only reached the buffer.
TEST(Progress, CountsOnlyWhatTheSystemTook) {
    std::array<int, 2> reports{};
    ASSERT_EQ(::pipe(reports.data()), 0);
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);  // cppcheck-suppress resourceLeak ; a failed test ends its process soon
    Progress progress(reports[1], 50'000, -1, 0.0);
    RunSettings settings;
    settings.runs = 10;
    settings.samplesPerRun = 5'000;
    std::array<char, 1 << 20> buffer{};
    BlockWriter out(full, buffer);
    EXPECT_FALSE(writeTable(out, settings, 1, 0, &progress));
    ::close(reports[1]);
    std::string shown(4096, '\0');
    shown.resize(static_cast<std::size_t>(std::max<ssize_t>(::read(reports[0], shown.data(), shown.size()), 0)));
    // A report after each piece of cells, none of which the system took.
    ASSERT_FALSE(shown.empty());
    for (std::size_t line = 0; line < shown.size(); line = shown.find('\n', line) + 1) {
        EXPECT_EQ(shown.compare(line, 40, "gaussian_noise:   0%, 0 of 50000 cells, "), 0) << shown;
    }
    ::close(reports[0]);
    ::close(full);
}

}  // namespace
}  // namespace gaussian_noise
