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
    // return; elsewhere a plain line every few seconds.
    Progress(int fd, std::int64_t totalCells, bool terminal);

    // Called often: reports only when the time for the next report has come.
    void update(std::int64_t cells, std::uint64_t bytes) {
        if (now() >= nextReport_) report(cells, bytes, false);
    }
    // The last report, with the time the table took; on a terminal it ends the line.
    void finish(std::int64_t cells, std::uint64_t bytes) { report(cells, bytes, true); }
    // Ends a line left open on the terminal, so that a message can follow.
    void interrupt();

private:
    static double now();
    void report(std::int64_t cells, std::uint64_t bytes, bool last);

    int fd_;
    std::int64_t totalCells_;
    bool terminal_;
    double start_;
    double nextReport_;
    std::size_t lastWidth_ = 0;  // of the line on the terminal, to blank what a shorter one leaves
};

}  // namespace gaussian_noise
