#include "draws/thrown_pair_scan.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstddef>

#include "draws/rand_sequence.h"
#include "cli/run_settings.h"

namespace gaussian_noise {
namespace {

// A stretch of pairs to scan, and the thrown pairs found in it: at most
// `foundPerRange` of them, for no heap is used; a range that holds more is
// scanned on from where it stopped, in a further round.
constexpr std::size_t foundPerRange = 4;

struct Range {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
    std::uint64_t reached = 0;  // scanned up to here: `end` unless `found` filled up
    std::array<std::uint64_t, foundPerRange> found{};
    std::size_t count = 0;
};

// Scans pairs at .. end-1 of `range` with `sequence` standing at pair `at`;
// false when `found` fills up first.
bool scanPairs(RandSequence& sequence, Range& range, std::uint64_t at, std::uint64_t end) noexcept {
    while (at < end) {
        if (range.count == range.found.size()) {
            range.reached = at;
            return false;
        }
        at += sequence.findThrownPair(end - at);
        if (at == end) break;
        range.found[range.count++] = at++;
    }
    range.reached = end;
    return true;
}

// Each thread scans its stretch as ten ranges, in order: a head up to a
// multiple of 31 pairs, eight lanes of equal length side by side in vector
// registers, and the tail.
constexpr std::size_t lanes = 8;
constexpr std::size_t rangesPerThread = lanes + 2;
// Pairs the lanes move on between two looks at whether one passed a thrown pair.
constexpr std::uint64_t lanePairsPerLook = std::uint64_t{RandSequence::lag} * 64;

struct Stretch {
    std::uint32_t seed = 0;
    std::array<Range, rangesPerThread> ranges;
};

// Splits pairs first .. end-1 into the stretch's ranges.
void split(Stretch& stretch, std::uint64_t first, std::uint64_t end) noexcept {
    constexpr std::uint64_t lag = RandSequence::lag;
    const std::uint64_t headEnd = std::min(end, (first + lag - 1) / lag * lag);
    const std::uint64_t laneLength = (end - headEnd) / lanes / lanePairsPerLook * lanePairsPerLook;
    std::uint64_t at = first;
    for (std::size_t i = 0; i < rangesPerThread; ++i) {
        Range& range = stretch.ranges[i];
        range.first = at;
        at = i == 0 ? headEnd : i <= lanes ? at + laneLength : end;
        range.end = at;
        range.count = 0;
    }
}

void scan(Stretch& stretch) noexcept {
    std::array<Range, rangesPerThread>& ranges = stretch.ranges;
    const auto alone = [&](Range& range) {
        RandSequence sequence(stretch.seed);
        sequence.skip(2 * range.first);
        (void)scanPairs(sequence, range, range.first, range.end);
    };
    alone(ranges.front());
    alone(ranges.back());
    const std::span<Range, lanes> laneRanges(ranges.data() + 1, lanes);
    std::array<RandSequence, lanes> sequences{
        RandSequence(stretch.seed), RandSequence(stretch.seed), RandSequence(stretch.seed), RandSequence(stretch.seed),
        RandSequence(stretch.seed), RandSequence(stretch.seed), RandSequence(stretch.seed), RandSequence(stretch.seed)};
    for (std::size_t k = 0; k < lanes; ++k) sequences[k].skip(2 * laneRanges[k].first);
    const std::uint64_t length = laneRanges[0].end - laneRanges[0].first;
    for (std::uint64_t at = 0; at < length; at += lanePairsPerLook) {
        const std::array<RandSequence, lanes> before = sequences;
        const unsigned mayHavePassed = RandSequence::advanceSideBySide(sequences, lanePairsPerLook);
        for (std::size_t k = 0; k < lanes; ++k) {
            if ((mayHavePassed >> k & 1U) == 0) continue;
            // Rare: the lane's pairs again one by one, to find which.
            RandSequence again = before[k];
            Range& range = laneRanges[k];
            if (!scanPairs(again, range, range.first + at, range.first + at + lanePairsPerLook)) {
                // Full: the lanes stop; the lanes before it have scanned this
                // look's pairs, the lanes after it (scanned again later) not.
                for (std::size_t j = 0; j < lanes; ++j) {
                    if (j != k) laneRanges[j].reached = laneRanges[j].first + at + (j < k ? lanePairsPerLook : 0);
                }
                return;
            }
        }
    }
    for (Range& lane : laneRanges) lane.reached = lane.end;
}

void* scanOnThread(void* stretch) {
    scan(*static_cast<Stretch*>(stretch));
    return nullptr;
}

// Fewer pairs than this a thread are scanned faster than a thread starts.
constexpr std::uint64_t leastPairsPerThread = std::uint64_t{1} << 17;

// Calls found(pair) for each pair thrown away among pairs first .. end-1, in order.
template <class Found>
void forEachThrownPair(std::uint32_t seed, std::uint64_t first, std::uint64_t end, unsigned threads, Found found) {
    std::array<Stretch, maxThreads> stretches;
    std::array<pthread_t, maxThreads> ids{};
    std::array<bool, maxThreads> started{};
    while (first < end) {
        const std::uint64_t pairs = end - first;
        const auto count = static_cast<std::size_t>(
            std::clamp<std::uint64_t>(std::min<std::uint64_t>(threads, pairs / leastPairsPerThread), 1, maxThreads));
        const std::uint64_t step = pairs / count;
        for (std::size_t i = 0; i < count; ++i) {
            stretches[i].seed = seed;
            split(stretches[i], first + i * step, i + 1 == count ? end : first + (i + 1) * step);
        }
        for (std::size_t i = 1; i < count; ++i) {
            started[i] = ::pthread_create(&ids[i], nullptr, scanOnThread, &stretches[i]) == 0;
        }
        scan(stretches[0]);
        for (std::size_t i = 1; i < count; ++i) {
            if (started[i]) {
                ::pthread_join(ids[i], nullptr);
            } else {
                scan(stretches[i]);
            }
        }
        first = end;
        for (std::size_t i = 0; i < count && first == end; ++i) {
            for (const Range& range : stretches[i].ranges) {
                std::for_each(range.found.begin(), range.found.begin() + static_cast<std::ptrdiff_t>(range.count),
                              found);
                if (range.reached != range.end) {
                    first = range.reached;  // it filled up: on from where it stopped
                    break;
                }
            }
        }
    }
}

// The pair of cell `cell`, scanning for the thrown pairs and handing each
// to `found` in order: P = cell + the pairs thrown before P, reached from
// below, each round scanning only the pairs the last one added.
template <class Found>
std::uint64_t pairOfCell(std::uint32_t seed, std::int64_t cell, unsigned threads, Found found) {
    std::uint64_t scanned = 0;
    auto pair = static_cast<std::uint64_t>(cell);
    while (scanned < pair) {
        std::uint64_t thrown = 0;
        forEachThrownPair(seed, scanned, pair, threads, [&](std::uint64_t at) {
            found(at);
            ++thrown;
        });
        scanned = pair;
        pair += thrown;
    }
    return pair;
}

}  // namespace

std::uint64_t countThrownPairs(std::uint32_t seed, std::uint64_t first, std::uint64_t end, unsigned threads) {
    std::uint64_t count = 0;
    forEachThrownPair(seed, first, end, threads, [&count](std::uint64_t) { ++count; });
    return count;
}

std::uint64_t pairOfCell(std::uint32_t seed, std::int64_t cell, unsigned threads) {
    return pairOfCell(seed, cell, threads, [](std::uint64_t) {});
}

// --- The list ----------------------------------------------------------------

namespace {

constexpr std::string_view listTitle = "gaussian_noise thrown pairs: seed ";
constexpr std::string_view listCells = ", cells ";

// The header line of the list for `seed` and a table of `cells` cells.
Message listHeader(std::uint32_t seed, std::int64_t cells) {
    Message header(listTitle);
    header.number(seed) += listCells;
    return header.number(cells) += "\n";
}

// Reads a whole number of decimal digits that is all of `text`.
bool readNumber(std::string_view text, std::uint64_t& value) {
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && text[0] != '-' && error == std::errc{} && stop == end;
}

// The file's lines, one at a time, from a fixed buffer.
class Lines {
public:
    explicit Lines(int fd) noexcept : fd_(fd) {}
    // The next line without its line feed; false at the end or on a failed
    // read (error() says which) or a line too long for the buffer.
    bool next(std::string_view& line) noexcept {
        for (;;) {
            const auto* const feed = std::find(buffer_.data() + begin_, buffer_.data() + end_, '\n');
            if (feed != buffer_.data() + end_) {
                line =
                    std::string_view(buffer_.data() + begin_, static_cast<std::size_t>(feed - buffer_.data()) - begin_);
                begin_ = static_cast<std::size_t>(feed - buffer_.data()) + 1;
                ++number_;
                return true;
            }
            std::copy(buffer_.data() + begin_, buffer_.data() + end_, buffer_.data());
            end_ -= begin_;
            begin_ = 0;
            if (end_ == buffer_.size()) return false;
            const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) error_ = errno;
            if (got <= 0) return false;
            end_ += static_cast<std::size_t>(got);
        }
    }
    [[nodiscard]] int error() const noexcept { return error_; }
    // Whether all the file was read, with nothing after the last line feed.
    [[nodiscard]] bool atEnd() const noexcept { return error_ == 0 && end_ == 0; }
    [[nodiscard]] long long number() const noexcept { return number_; }

private:
    int fd_;
    std::array<char, 4096> buffer_{};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    int error_ = 0;
    long long number_ = 0;
};

// The file's descriptor, closed when it goes.
struct OpenFile {
    int fd;
    explicit OpenFile(const char* name) noexcept
        : fd(::open(name, O_RDONLY | O_CLOEXEC)) {}  // NOLINT(cppcoreguidelines-pro-type-vararg)
    ~OpenFile() {
        if (fd >= 0) (void)::close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    OpenFile(OpenFile&&) = delete;
    OpenFile& operator=(OpenFile&&) = delete;
};

}  // namespace

ListedPair pairOfCellFromList(std::string_view listName, std::uint32_t seed, std::int64_t cell) {
    ListedPair result;
    const OpenFile file(listName.data());
    if (file.fd < 0) {
        result.systemError = errno;
        return result;
    }
    Lines lines(file.fd);
    const auto fail = [&](std::string_view why) {
        result.error = Message().quote(listName) += " ";
        result.error += why;
        if (lines.error() != 0) result.systemError = lines.error();
        return result;
    };
    std::string_view line;
    if (!lines.next(line) || !line.starts_with(listTitle)) {
        return fail("is not a list of thrown pairs: it does not begin with \"gaussian_noise thrown pairs: seed\"");
    }
    const std::string_view numbers = line.substr(listTitle.size());
    const std::size_t comma = numbers.find(listCells);
    std::uint64_t listedSeed = 0;
    std::uint64_t listedCells = 0;
    if (comma == std::string_view::npos || !readNumber(numbers.substr(0, comma), listedSeed) ||
        !readNumber(numbers.substr(comma + listCells.size()), listedCells)) {
        return fail("is not a list of thrown pairs: its first line is malformed");
    }
    if (listedSeed != seed) {
        Message why("lists the thrown pairs of seed ");
        why.number(static_cast<long long>(listedSeed)) += ", not of seed ";
        return fail(why.number(seed).text());
    }
    if (listedCells < static_cast<std::uint64_t>(cell)) {
        Message why("lists the thrown pairs of a table of ");
        why.number(static_cast<long long>(listedCells)) += " cells, which ends before cell ";
        return fail(why.number(cell + 1).text());
    }
    // P = cell + the pairs thrown before P: each listed pair below P moves it on by one.
    auto pair = static_cast<std::uint64_t>(cell);
    std::uint64_t previous = 0;
    for (bool first = true;; first = false) {
        if (!lines.next(line)) {
            if (lines.error() != 0) return fail("cannot be read");
            if (!lines.atEnd()) return fail("is not a list of thrown pairs: its last line is cut short");
            break;
        }
        std::uint64_t listed = 0;
        if (!readNumber(line, listed) || (!first && listed <= previous)) {
            Message why("is not a list of thrown pairs: line ");
            why.number(lines.number()) += " is not a pair after the one before it";
            return fail(why.text());
        }
        if (listed >= pair) break;
        ++pair;
        previous = listed;
    }
    result.pair = pair;
    return result;
}

bool writeThrownPairList(BlockWriter& out, std::uint32_t seed, std::int64_t cells, unsigned threads) {
    if (!out.writeThrough(listHeader(seed, cells).text())) return false;
    bool written = true;
    (void)pairOfCell(seed, cells, threads, [&](std::uint64_t pair) {
        constexpr std::size_t room = 24;
        if (!written || !out.makeRoom(room)) {
            written = false;
            return;
        }
        char* const end = std::to_chars(out.end(), out.end() + room, pair).ptr;
        *end = '\n';
        out.advance(end + 1);
    });
    return written && out.flush();
}

}  // namespace gaussian_noise
