#include "progress.h"

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

Progress::Progress(int fd, std::int64_t totalCells, bool terminal)
    : fd_(fd),
      totalCells_(totalCells),
      terminal_(terminal),
      start_(now()),
      nextReport_(start_ + (terminal ? terminalInterval : plainInterval)) {}

void Progress::interrupt() {
    if (terminal_ && lastWidth_ != 0) (void)writeAll(fd_, "\n");
    lastWidth_ = 0;
}

void Progress::report(std::int64_t cells, std::uint64_t bytes, bool last) {
    const double current = now();
    const double elapsed = current - start_;
    nextReport_ = current + (terminal_ ? terminalInterval : plainInterval);

    const double share =
        totalCells_ > 0 ? 100.0 * static_cast<double>(cells) / static_cast<double>(totalCells_) : 100.0;
    const double rate = elapsed > 0.0 ? static_cast<double>(cells) / elapsed : 0.0;
    char text[256];
    const int size = std::snprintf(
        text, sizeof text, "gaussian_noise: %3.0f%%, %lld of %lld cells, %s, %.3g M cells/s, ", share,
        static_cast<long long>(cells), static_cast<long long>(totalCells_), byteCount(bytes).c_str(), rate / 1e6);
    std::string line(text, static_cast<std::size_t>(std::clamp(size, 0, static_cast<int>(sizeof text) - 1)));
    if (last) {
        line += "done in " + duration(elapsed);
    } else if (cells > 0) {
        line += duration(elapsed * static_cast<double>(totalCells_ - cells) / static_cast<double>(cells)) + " left";
    } else {
        line += "time left unknown";
    }

    std::string output;
    if (terminal_) {
        // Blank what remains of a longer line before it.
        const std::size_t width = line.size();
        output = "\r" + line + std::string(lastWidth_ > width ? lastWidth_ - width : 0, ' ');
        lastWidth_ = width;
        if (last) output += '\n';
    } else {
        output = line + '\n';
    }
    // Progress is a courtesy: a failure to show it does not fail the table.
    (void)writeAll(fd_, output);
}

}  // namespace gaussian_noise
