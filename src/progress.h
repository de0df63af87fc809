// Progress of a long table on standard error: a line rewritten in place on a
// terminal, plain lines now and then otherwise.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace gaussian_noise {

class Progress {
public:
    // Reports on `fd` for a table of `totalCells` cells. On a terminal the
    // report is one line rewritten a few times a second with a carriage
    // return, fitted to the terminal's width; elsewhere a plain line every
    // few seconds. `besideTable` says the table goes to the same terminal:
    // each report is then a line of its own between the table's lines, so
    // that no report overwrites the table's text.
    Progress(int fd, std::int64_t totalCells, bool terminal, bool besideTable = false);

    // Called often: reports only when the time for the next report has come.
    void update(std::int64_t cells, std::uint64_t bytes) {
        if (now() >= nextReport_) report(cells, bytes, false);
    }
    // The last report, with the time the table took; on a terminal it ends the line.
    void finish(std::int64_t cells, std::uint64_t bytes) { report(cells, bytes, true); }
    // Ends a line left open on the terminal, so that a message can follow.
    void interrupt();

    // The text of a report: the share done (never 100% before the last
    // cell), the cells, the bytes, the rate and the time left or taken. On a
    // terminal the fields that do not fit its width are left out, the rate
    // first, then the bytes, the cells and the time.
    [[nodiscard]] std::string line(std::int64_t cells, std::uint64_t bytes, bool last) const;

private:
    static double now();
    void report(std::int64_t cells, std::uint64_t bytes, bool last);
    // The columns a line may take: the terminal's width less one, so that
    // the cursor never wraps; 80 less one where the width is not known.
    [[nodiscard]] std::size_t room() const;

    int fd_;
    std::int64_t totalCells_;
    bool terminal_;
    bool besideTable_;
    double start_;
    double nextReport_;
    std::size_t lastWidth_ = 0;  // of the line on the terminal, to blank what a shorter one leaves
};

}  // namespace gaussian_noise
