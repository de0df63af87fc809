// Progress of a long run on standard error, from its first report to its
// last: the share done, the cells, the bytes, the rate and the time left.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace gaussian_noise {

// Progress of a long table on standard error: a line rewritten in place on a
// terminal, plain lines now and then otherwise. It counts only what the
// system has taken, and needs no heap: a report that cannot be shown is
// left out, and never fails the table.
class Progress {
public:
    // Reports on `fd` for a table of `totalCells` cells written to `tableFd`.
    // On a terminal the report is one line rewritten a few times a second
    // with a carriage return, fitted to the terminal's width; elsewhere a
    // plain line every few seconds. Where the table goes to a terminal too
    // (or to the very file the reports go to), each report is a line of its
    // own between the table's lines, so that none overwrites the table's
    // text. `interval`, when not negative, is the seconds between reports.
    // A `task` other than the table's own ("scanning") stands before the
    // share, and its reports count cells but no bytes.
    Progress(int fd, std::int64_t totalCells, int tableFd, double interval = -1.0, std::string_view task = {}) noexcept;

    // Called often: reports only when the time for the next report has come.
    void update(std::int64_t cells, std::uint64_t bytes) noexcept {
        if (now() >= nextReport_) report(cells, bytes, false);
    }
    // The last report, with the time the table took; on a terminal it ends the line.
    void finish(std::int64_t cells, std::uint64_t bytes) noexcept { report(cells, bytes, true); }
    // The last report, where an earlier one was shown: for work that is
    // over too soon to be worth a line.
    void finishIfShown(std::int64_t cells, std::uint64_t bytes) noexcept {
        if (shown_) finish(cells, bytes);
    }
    // Ends a line left open on the terminal, so that a message can follow.
    void interrupt() noexcept;

    // The text of a report.
    struct Line {
        std::array<char, 256> text{};
        std::size_t size = 0;
        [[nodiscard]] std::string_view view() const noexcept { return {text.data(), size}; }
    };
    // The share done (never 100% before the last cell), the cells, the
    // bytes, the rate and the time left or taken. On a terminal the fields
    // that do not fit its width are left out, the rate first, then the
    // bytes, the cells and the time; then the program's name, leaving the
    // share alone; and where not even that fits, the line is empty.
    [[nodiscard]] Line line(std::int64_t cells, std::uint64_t bytes, bool last) const noexcept;

private:
    static double now() noexcept;
    void report(std::int64_t cells, std::uint64_t bytes, bool last) noexcept;
    // The columns a line may take: the terminal's width less one, so that
    // the cursor never wraps; 80 less one where the width is not known.
    [[nodiscard]] std::size_t room() const noexcept;

    int fd_;
    std::int64_t totalCells_;
    bool terminal_;
    bool besideTable_;
    double interval_;
    std::string_view task_;
    double start_;
    double nextReport_;
    bool shown_ = false;         // a report was written
    std::size_t lastWidth_ = 0;  // of the line on the terminal, to blank what a shorter one leaves
};

}  // namespace gaussian_noise
