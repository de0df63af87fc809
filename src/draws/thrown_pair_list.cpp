#include "draws/thrown_pair_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstddef>

#include "draws/thrown_pair_scan.h"

namespace gaussian_noise {
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
    (void)pairOfCellByScan(seed, cells, threads, [&](std::uint64_t pair) {
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
