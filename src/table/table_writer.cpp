#include "table/table_writer.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>

#include "table/binary_table.h"
#include "cli/messages.h"
#include "draws/rand_sequence.h"
#include "samples/math_choice.h"

namespace gaussian_noise {

// --- What the table is -----------------------------------------------------

RowSpan rowSpan(const RunSettings& settings) {
    const std::int64_t runs = std::max(settings.runs, 0);
    const Rows& rows = settings.rows;
    switch (rows.kind) {
        case Rows::Kind::part: {
            // The first runs % parts parts hold one row more than the others.
            const std::int64_t shortest = runs / rows.parts;
            const std::int64_t longer = runs % rows.parts;
            const std::int64_t before = rows.part - 1;
            return {before * shortest + std::min(before, longer), shortest + (before < longer ? 1 : 0)};
        }
        case Rows::Kind::range:
            return {rows.first - 1, rows.last - rows.first + 1};
        case Rows::Kind::table:
            break;
    }
    return {0, runs};
}

std::int64_t tableCellCount(const RunSettings& settings) {
    if (settings.samplesPerRun <= 0) return 0;
    return rowSpan(settings).count * settings.samplesPerRun;
}

unsigned drawingThreads(const RunSettings& settings) {
    return settings.threads == 0 ? std::min(availableProcessors(), maxThreads) : settings.threads;
}

std::int64_t firstCellOf(const RunSettings& settings) {
    if (settings.samplesPerRun <= 0) return 0;
    return rowSpan(settings).first * settings.samplesPerRun;
}

Table tableOf(const RunSettings& settings) {
    return {{settings.mean, settings.variance},
            chosenMath(),
            cellFormat(settings.format, settings.cellText),
            std::max(settings.samplesPerRun, 1),
            tableCellCount(settings)};
}

// --- Its progress report ---------------------------------------------------

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

Progress::Progress(int fd, std::int64_t totalCells, int tableFd, double interval) noexcept
    : fd_(fd),
      totalCells_(totalCells),
      terminal_(::isatty(fd) != 0),
      besideTable_(tableFd >= 0 && sameDestination(fd, tableFd)),
      interval_(interval >= 0.0 ? interval : defaultInterval(terminal_ && !besideTable_)),
      start_(now()),
      nextReport_(start_ + interval_) {}

void Progress::interrupt() noexcept {
    if (terminal_ && !besideTable_ && lastWidth_ != 0) (void)writeAll(fd_, "\n");
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
        text.format("%.*s: %3lld%%", static_cast<int>(programName.size()), programName.data(),
                    static_cast<long long>(percent));
        for (std::size_t field = 0; field < std::size(ranks); ++field) {
            if (ranks[field] < dropped) continue;
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
    (void)writeAll(fd_, std::string_view(output.data(), static_cast<std::size_t>(end - output.data())));
}

// --- The table itself ------------------------------------------------------

namespace {

// Cells handed to the buffer at a time: their room is well under its size.
constexpr std::int64_t cellsPerPiece = 16384;

// Writes cells first .. table.cells-1 through `out`, drawing from `draws`.
// The progress report counts the cells the system has taken: those before
// the buffer's first, all of them once it is flushed.
template <class Draws>
bool writeCellsFrom(BlockWriter& out, const Table& table, Draws& draws, std::int64_t first, Progress* progress) {
    std::int64_t taken = first;
    while (first < table.cells) {
        const std::int64_t piece = std::min(cellsPerPiece, table.cells - first);
        const std::uint64_t written = out.written();
        if (!out.makeRoom(cellsRoom(table.format, piece))) return false;
        if (out.written() != written) taken = first;
        const DrawnCells drawn = drawCells(out.end(), table, draws, first, piece);
        out.advance(drawn.end);
        first += drawn.cells;
        if (progress != nullptr) progress->update(taken, out.written());
    }
    return true;
}

// The line feeds between the rows of a table whose rows hold no cells.
bool writeEmptyRows(BlockWriter& out, std::int64_t rows, const CellFormat& format) {
    if (!format.rowSeparators) return true;
    std::int64_t left = rows - 1;
    while (left > 0) {
        const std::int64_t piece = std::min(cellsPerPiece, left);
        if (!out.makeRoom(static_cast<std::size_t>(piece))) return false;
        char* end = out.end();
        std::memset(end, '\n', static_cast<std::size_t>(piece));
        out.advance(end + piece);
        left -= piece;
    }
    return true;
}

// Passes over the pairs of `cells` cells, thrown pairs included, drawing them.
void passCells(CLibraryRand& rand, std::int64_t cells) {
    std::array<std::int32_t, 2> pair{};
    for (std::int64_t passed = 0; passed < cells;) {
        rand.fill(pair);
        if (pair[0] != 0) ++passed;
    }
}

// Everything after the header: the rows, with a line feed before them where
// they are a part that does not begin the table.
bool writeBody(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, std::uint64_t firstPair,
               Progress* progress, std::uint64_t pairsPerChunk) {
    const Table table = tableOf(settings);
    const RowSpan rows = rowSpan(settings);
    if (settings.rows.kind == Rows::Kind::part && rows.first > 0 && rows.count > 0 && table.format.rowSeparators &&
        !out.writeThrough("\n")) {
        return false;
    }
    const unsigned threads = drawingThreads(settings);
    CLibraryRand rand(seed);
    const bool copyServes = rand.followsSequence(seed);
    if (!copyServes && threads > 1) {
        report(
            "rand() here is not the C library sequence the tool can split between threads; "
            "writing the table in one thread");
    }
    if (table.cells == 0) return writeEmptyRows(out, rows.count, table.format);
    if (!copyServes) {
        passCells(rand, firstCellOf(settings));
        return writeCellsFrom(out, table, rand, 0, progress);
    }

    RandSequence draws(seed);
    std::int64_t first = 0;
    std::uint64_t pairs = 0;
    if (threads > 1) {
        const ThreadedCells threaded =
            writeThreadedCells(out, table, seed, firstPair, threads, pairsPerChunk, progress);
        if (!threaded.written) return false;
        first = threaded.cells;
        pairs = threaded.pairs;
    }
    draws.skip(2 * (firstPair + pairs));
    return writeCellsFrom(out, table, draws, first, progress);
}

// The .npy header the run begins with: the whole table's for the table and
// its first part, a range's own shape for a range, none for later parts.
bool writeHeader(BlockWriter& out, const RunSettings& settings) {
    if (settings.format != TableFormat::npy) return true;
    const Rows& rows = settings.rows;
    switch (rows.kind) {
        case Rows::Kind::part:
            if (rows.part != 1) return true;
            break;
        case Rows::Kind::range:
            return out.writeThrough(
                npyHeader(static_cast<std::int32_t>(rowSpan(settings).count), settings.samplesPerRun).view());
        case Rows::Kind::table:
            break;
    }
    return out.writeThrough(npyHeader(settings.runs, settings.samplesPerRun).view());
}

}  // namespace

bool writeTable(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, std::uint64_t firstPair,
                Progress* progress, std::uint64_t pairsPerChunk) {
    if (!writeHeader(out, settings) || !writeBody(out, settings, seed, firstPair, progress, pairsPerChunk) ||
        !out.flush()) {
        return false;
    }
    if (progress != nullptr) progress->finish(tableCellCount(settings), out.written());
    return true;
}

}  // namespace gaussian_noise
