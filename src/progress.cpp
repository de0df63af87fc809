#include "progress.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "block_writer.h"

namespace gaussian_noise {
namespace {

constexpr double terminalInterval = 0.25;  // seconds between rewrites of the line
constexpr double plainInterval = 5.0;      // seconds between plain lines

// "1:05" or "2:03:07".
std::string duration(double seconds) {
    const long long whole = std::llround(seconds);
    char text[32];
    if (whole >= 3600) {
        (void)std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        (void)std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

// "950 B", "12.3 kB", "4.56 GB": decimal units.
std::string byteCount(std::uint64_t bytes) {
    constexpr const char* units[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
    auto value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1000.0 && unit + 1 < std::size(units)) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    (void)std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.3g %s", value, units[unit]);
    return text;
}

}  // namespace

double Progress::now() {
    timespec time{};
    (void)clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

Progress::Progress(int fd, std::int64_t totalCells, bool terminal, bool besideTable)
    : fd_(fd),
      totalCells_(totalCells),
      terminal_(terminal),
      besideTable_(terminal && besideTable),
      start_(now()),
      nextReport_(start_ + (terminal && !besideTable ? terminalInterval : plainInterval)) {}

void Progress::interrupt() {
    if (terminal_ && lastWidth_ != 0) (void)writeAll(fd_, "\n");
    lastWidth_ = 0;
}

std::size_t Progress::room() const {
    winsize size{};
    const bool known = ::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0;
    return (known ? size.ws_col : 80U) - 1U;
}

std::string Progress::line(std::int64_t cells, std::uint64_t bytes, bool last) const {
    const double elapsed = now() - start_;
    // Whole percents, rounded down: 100% means every cell.
    const std::int64_t percent = totalCells_ > 0 && cells < totalCells_
                                     ? static_cast<std::int64_t>(100.0L * static_cast<long double>(cells) /
                                                                 static_cast<long double>(totalCells_))
                                     : 100;
    const double rate = elapsed > 0.0 ? static_cast<double>(cells) / elapsed : 0.0;
    char text[64];
    std::string time;
    if (last) {
        time = "done in " + duration(elapsed);
    } else if (cells > 0) {
        time = duration(elapsed * static_cast<double>(totalCells_ - cells) / static_cast<double>(cells)) + " left";
    } else {
        time = "time left unknown";
    }
    (void)std::snprintf(text, sizeof text, "%lld of %lld cells", static_cast<long long>(cells),
                        static_cast<long long>(totalCells_));
    const std::string cellCount = text;
    (void)std::snprintf(text, sizeof text, "%.3g M cells/s", rate / 1e6);
    const std::string rateText = text;
    (void)std::snprintf(text, sizeof text, "gaussian_noise: %3lld%%", static_cast<long long>(percent));

    // The fields in the order shown, each with its rank: the lowest is left
    // out first where the line is too long for the terminal.
    struct Field {
        std::string text;
        int rank;
    };
    const Field fields[] = {{cellCount, 2}, {byteCount(bytes), 1}, {rateText, 0}, {time, 3}};
    const std::size_t limit = terminal_ ? room() : std::string::npos;
    for (int dropped = 0;; ++dropped) {
        std::string result = text;
        for (const Field& field : fields) {
            if (field.rank >= dropped) result += ", " + field.text;
        }
        if (result.size() <= limit || dropped > 3) return result.substr(0, limit);
    }
}

void Progress::report(std::int64_t cells, std::uint64_t bytes, bool last) {
    const double current = now();
    nextReport_ = current + (terminal_ && !besideTable_ ? terminalInterval : plainInterval);
    const std::string text = line(cells, bytes, last);

    std::string output;
    if (besideTable_) {
        // The table's text may stand on the line: start a new one, and end it.
        output = "\n" + text + "\n";
    } else if (terminal_) {
        // Blank what remains of a longer line before it.
        const std::size_t width = text.size();
        output = "\r" + text + std::string(lastWidth_ > width ? lastWidth_ - width : 0, ' ');
        lastWidth_ = width;
        if (last) output += '\n';
    } else {
        output = text + '\n';
    }
    // Progress is a courtesy: a failure to show it does not fail the table.
    (void)writeAll(fd_, output);
}

}  // namespace gaussian_noise
