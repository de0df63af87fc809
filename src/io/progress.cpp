#include "io/progress.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <iterator>

#include "cli/messages.h"
#include "io/output.h"

namespace gaussian_noise {

namespace {

constexpr double terminalInterval = 0.25;  // seconds between rewrites of the line
constexpr double plainInterval = 5.0;      // seconds between plain lines

// Text appended to a fixed buffer, cut where it would pass the end.
struct Text {
    char* at;
    char* end;
    // NOLINTNEXTLINE(cert-dcl50-cpp): printf's formats, checked by the compiler, into the stack buffer
    [[gnu::format(printf, 2, 3)]] void format(const char* pattern, ...) noexcept {
        std::va_list values;
        va_start(values, pattern);
        const int size = std::vsnprintf(at, static_cast<std::size_t>(end - at), pattern, values);
        va_end(values);
        at += std::clamp<std::ptrdiff_t>(size, 0, end - at - 1);
    }
};

// "1:05" or "2:03:07".
void duration(Text& text, double seconds) noexcept {
    const long long whole = std::llround(seconds);
    if (whole >= 3600) {
        text.format("%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        text.format("%lld:%02lld", whole / 60, whole % 60);
    }
}

// "950 B", "12.3 kB", "4.56 GB": decimal units.
void byteCount(Text& text, std::uint64_t bytes) noexcept {
    constexpr const char* units[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
    auto value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1000.0 && unit + 1 < std::size(units)) {
        value /= 1000.0;
        ++unit;
    }
    text.format(unit == 0 ? "%.0f %s" : "%.3g %s", value, units[unit]);
}

// Seconds between reports: a line rewritten in place often, lines of their own seldom.
double defaultInterval(bool rewritten) noexcept { return rewritten ? terminalInterval : plainInterval; }

// Whether the two descriptors are the same file, or both terminals.
bool sameDestination(int fd, int other) noexcept {
    if (::isatty(fd) != 0 && ::isatty(other) != 0) return true;
    struct stat mine {};
    struct stat theirs {};
    return ::fstat(fd, &mine) == 0 && ::fstat(other, &theirs) == 0 && mine.st_dev == theirs.st_dev &&
           mine.st_ino == theirs.st_ino;
}

}  // namespace

double Progress::now() noexcept {
    timespec time{};
    (void)clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

Progress::Progress(int fd, std::int64_t totalCells, int tableFd, double interval, std::string_view task) noexcept
    : fd_(fd),
      totalCells_(totalCells),
      terminal_(::isatty(fd) != 0),
      besideTable_(tableFd >= 0 && sameDestination(fd, tableFd)),
      interval_(interval >= 0.0 ? interval : defaultInterval(terminal_ && !besideTable_)),
      task_(task),
      start_(now()),
      nextReport_(start_ + interval_) {}

void Progress::interrupt() noexcept {
    if (terminal_ && !besideTable_ && lastWidth_ != 0) (void)writeAllNoSignal(fd_, "\n");
    lastWidth_ = 0;
}

std::size_t Progress::room() const noexcept {
    winsize size{};
    const bool known = ::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0;
    return (known ? size.ws_col : 80U) - 1U;
}

Progress::Line Progress::line(std::int64_t cells, std::uint64_t bytes, bool last) const noexcept {
    const double elapsed = now() - start_;
    // Whole percents, rounded down: 100% means every cell.
    const std::int64_t percent = totalCells_ > 0 && cells < totalCells_
                                     ? static_cast<std::int64_t>(100.0L * static_cast<long double>(cells) /
                                                                 static_cast<long double>(totalCells_))
                                     : 100;
    const double rate = elapsed > 0.0 ? static_cast<double>(cells) / elapsed : 0.0;

    // The fields in the order shown, each with its rank: the lowest is left
    // out first where the line is too long for the terminal.
    constexpr int ranks[] = {2, 1, 0, 3};  // cells, bytes, rate, time
    auto writeField = [&](Text& text, std::size_t field) {
        switch (field) {
            case 0:
                text.format("%lld of %lld cells", static_cast<long long>(cells), static_cast<long long>(totalCells_));
                break;
            case 1:
                byteCount(text, bytes);
                break;
            case 2:
                text.format("%.3g M cells/s", rate / 1e6);
                break;
            default:
                if (last) {
                    text.format("done in ");
                    duration(text, elapsed);
                } else if (cells > 0) {
                    duration(text, elapsed * static_cast<double>(totalCells_ - cells) / static_cast<double>(cells));
                    text.format(" left");
                } else {
                    text.format("time left unknown");
                }
        }
    };
    const std::size_t limit = terminal_ ? room() : std::size(Line{}.text) - 1;
    Line result;
    for (int dropped = 0; dropped <= 4; ++dropped) {
        Text text{result.text.data(), result.text.data() + result.text.size()};
        text.format("%.*s: %.*s%s%3lld%%", static_cast<int>(programName.size()), programName.data(),
                    static_cast<int>(task_.size()), task_.data(), task_.empty() ? "" : " ",
                    static_cast<long long>(percent));
        for (std::size_t field = 0; field < std::size(ranks); ++field) {
            if (ranks[field] < dropped || (field == 1 && !task_.empty())) continue;
            text.format(", ");
            writeField(text, field);
        }
        result.size = static_cast<std::size_t>(text.at - result.text.data());
        if (result.size <= limit) return result;
    }
    // The share alone, or nothing: never a line cut short.
    Text text{result.text.data(), result.text.data() + result.text.size()};
    text.format("%lld%%", static_cast<long long>(percent));
    result.size = static_cast<std::size_t>(text.at - result.text.data());
    if (result.size > limit) result.size = 0;
    return result;
}

void Progress::report(std::int64_t cells, std::uint64_t bytes, bool last) noexcept {
    nextReport_ = now() + interval_;
    shown_ = true;
    const Line shown = line(cells, bytes, last);
    const std::string_view text = shown.view();

    std::array<char, 2 * std::tuple_size_v<decltype(Line::text)> + 2> output{};
    char* end = output.data();
    const auto append = [&end](std::string_view part) { end = std::copy(part.begin(), part.end(), end); };
    if (besideTable_) {
        // The table's text may stand on the line: start a new one, and end it.
        append("\n");
        append(text);
        append("\n");
    } else if (terminal_) {
        // Blank what remains of a longer line before it.
        append("\r");
        append(text);
        end = std::fill_n(end, lastWidth_ > text.size() ? lastWidth_ - text.size() : 0, ' ');
        lastWidth_ = text.size();
        if (last) append("\n");
    } else {
        append(text);
        append("\n");
    }
    // Progress is a courtesy: a failure to show it does not fail the table.
    (void)writeAllNoSignal(fd_, std::string_view(output.data(), static_cast<std::size_t>(end - output.data())));
}

}  // namespace gaussian_noise
