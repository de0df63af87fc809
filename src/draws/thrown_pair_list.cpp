#include "draws/thrown_pair_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstring>

#include "draws/thrown_pair_scan.h"

namespace gaussian_noise {
namespace {

constexpr std::string_view listTitle = "gaussian_noise thrown pairs: seed ";
constexpr std::string_view listCells = ", cells ";
constexpr std::string_view closingTitle = "end: ";
constexpr std::string_view closingDigest = " pairs, digest ";

// Longer than any line of a list: the header with two numbers of 20 digits
// is 82 characters.
constexpr std::size_t longestLine = 128;

// FNV-1a over the list's seed, cells and pairs, eight bytes each, least
// significant first: the closing line names it, so that a list is read only
// as it was written.
class Digest {
public:
    void add(std::uint64_t value) noexcept {
        for (unsigned byte = 0; byte < 8; ++byte) {
            hash_ = (hash_ ^ ((value >> (8 * byte)) & 0xFFU)) * 0x100000001b3U;
        }
    }
    [[nodiscard]] std::uint64_t value() const noexcept { return hash_; }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325U;
};

// The header line of the list for `seed` and a table of `cells` cells.
Message listHeader(std::uint32_t seed, std::int64_t cells) {
    Message header(listTitle);
    header.number(seed) += listCells;
    return header.number(cells) += "\n";
}

// The closing line: the count of pairs listed and the digest.
Message closingLine(std::uint64_t pairs, std::uint64_t digest) {
    std::array<char, 16> hex{};
    for (std::size_t i = 0; i < hex.size(); ++i) hex[i] = "0123456789abcdef"[digest >> (60 - 4 * i) & 0xFU];
    Message line(closingTitle);
    line.unsignedNumber(pairs) += closingDigest;
    line += std::string_view(hex.data(), hex.size());
    return line += "\n";
}

// Reads a whole number of decimal digits that is all of `text`.
bool readNumber(std::string_view text, std::uint64_t& value) {
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && text[0] >= '0' && text[0] <= '9' && error == std::errc{} && stop == end;
}

// The file's lines, one at a time, from a fixed buffer.
class Lines {
public:
    enum class Read { line, end, failed, cut, tooLong };

    explicit Lines(int fd) noexcept : fd_(fd) {}
    // The next line, without its line feed: `line` when there is one; `end`
    // after the last line feed; `failed` when a read failed (error() tells
    // why); `cut` when the file ends within a line; `tooLong` for a line
    // longer than any of a list.
    Read next(std::string_view& line) noexcept {
        for (;;) {
            const auto* const feed = std::find(buffer_.data() + begin_, buffer_.data() + end_, '\n');
            if (feed != buffer_.data() + end_) {
                line =
                    std::string_view(buffer_.data() + begin_, static_cast<std::size_t>(feed - buffer_.data()) - begin_);
                begin_ = static_cast<std::size_t>(feed - buffer_.data()) + 1;
                ++number_;
                return line.size() > longestLine ? Read::tooLong : Read::line;
            }
            std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
            if (end_ > longestLine) {
                ++number_;
                return Read::tooLong;
            }
            const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error_ = errno;
                return Read::failed;
            }
            if (got == 0) return end_ == 0 ? Read::end : Read::cut;
            end_ += static_cast<std::size_t>(got);
        }
    }
    [[nodiscard]] int error() const noexcept { return error_; }
    // The number of the line last read, from 1.
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

// Reads a list through to its closing line, checking each line.
class ListReader {
public:
    ListReader(std::string_view name, int fd) noexcept : name_(name), lines_(fd) {}

    // The header's seed and cells; false with error() set when it is not a list's header.
    bool readHeader(std::uint64_t& seed, std::uint64_t& cells) noexcept {
        std::string_view line;
        if (!nextLine(line, "it is empty")) return false;
        if (!line.starts_with(listTitle)) {
            return notAList("it does not begin with \"gaussian_noise thrown pairs: seed\"");
        }
        const std::string_view numbers = line.substr(listTitle.size());
        const std::size_t comma = numbers.find(listCells);
        if (comma == std::string_view::npos || !readNumber(numbers.substr(0, comma), seed) ||
            !readNumber(numbers.substr(comma + listCells.size()), cells)) {
            return notAList("its first line is malformed");
        }
        digest_.add(seed);
        digest_.add(cells);
        cells_ = cells;
        return true;
    }

    // The next listed pair; false at the closing line, which is then
    // checked: error() is empty where the list is whole.
    bool nextPair(std::uint64_t& pair) noexcept {
        std::string_view line;
        if (!nextLine(line,
                      "it ends without its closing line: cut short, or written by version 1.3.0 or earlier "
                      "(write it again with --list-thrown-pairs)")) {
            return false;
        }
        if (line.starts_with(closingTitle)) {
            checkClosing(line.substr(closingTitle.size()));
            return false;
        }
        std::uint64_t listed = 0;
        if (!readNumber(line, listed) || (count_ != 0 && listed <= previous_)) {
            return lineIsNot("a pair after the one before it");
        }
        // The pairs thrown before a table's end leave fewer cells before
        // them than the table has.
        if (listed - count_ >= cells_) return lineIsNot("a pair before the table's end");
        digest_.add(listed);
        previous_ = listed;
        ++count_;
        pair = listed;
        return true;
    }

    [[nodiscard]] const Message& error() const noexcept { return error_; }

private:
    // The next line; false with error() set where there is none, `atEnd`
    // saying why when the file ends.
    bool nextLine(std::string_view& line, std::string_view atEnd) noexcept {
        switch (lines_.next(line)) {
            case Lines::Read::line:
                if (line.ends_with('\r')) return lineIsNot("a line of a list: it ends with a carriage return");
                return true;
            case Lines::Read::end:
                return notAList(atEnd);
            case Lines::Read::failed:
                error_ = systemErrorMessage("cannot read", Message().quote(name_), lines_.error());
                return false;
            case Lines::Read::cut:
                return notAList("its last line is cut short");
            case Lines::Read::tooLong:
                return lineIsNot("a line of a list: it is too long");
        }
        return false;
    }

    void checkClosing(std::string_view numbers) noexcept {
        const std::size_t digestAt = numbers.find(closingDigest);
        std::uint64_t pairs = 0;
        std::uint64_t digest = 0;
        const std::string_view hex =
            digestAt == std::string_view::npos ? std::string_view{} : numbers.substr(digestAt + closingDigest.size());
        const auto [stop, failed] = std::from_chars(hex.data(), hex.data() + hex.size(), digest, 16);
        if (digestAt == std::string_view::npos || !readNumber(numbers.substr(0, digestAt), pairs) || hex.size() != 16 ||
            failed != std::errc{} || stop != hex.data() + hex.size()) {
            (void)lineIsNot("a closing line: it is malformed");
            return;
        }
        if (pairs != count_) {
            Message why("its closing line counts ");
            why.unsignedNumber(pairs) += " pairs, but it lists ";
            (void)notAWholeList(why.unsignedNumber(count_).text());
            return;
        }
        if (digest != digest_.value()) {
            (void)notAWholeList("its digest is not that of its lines: it was changed since it was written");
            return;
        }
        std::string_view after;
        const Lines::Read rest = lines_.next(after);
        if (rest == Lines::Read::failed) {
            error_ = systemErrorMessage("cannot read", Message().quote(name_), lines_.error());
        } else if (rest != Lines::Read::end) {
            (void)notAWholeList("it goes on after its closing line");
        }
    }

    bool fail(std::string_view why) noexcept {
        error_ = Message().quote(name_) += " ";
        error_ += why;
        return false;
    }
    bool notAList(std::string_view why) noexcept {
        Message text("is not a list of thrown pairs: ");
        return fail((text += why).text());
    }
    bool notAWholeList(std::string_view why) noexcept {
        Message text("is not a whole list of thrown pairs: ");
        return fail((text += why).text());
    }
    bool lineIsNot(std::string_view what) noexcept {
        Message why("line ");
        why.number(lines_.number()) += " is not ";
        return notAList((why += what).text());
    }

    std::string_view name_;
    Lines lines_;
    Message error_;
    Digest digest_;
    std::uint64_t cells_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t previous_ = 0;
};

}  // namespace

ListedPair pairOfCellFromList(std::string_view listName, std::uint32_t seed, std::int64_t cell) {
    ListedPair result;
    const OpenFile file(listName.data());
    if (file.fd < 0) {
        result.error = systemErrorMessage("cannot read", Message().quote(listName), errno);
        return result;
    }
    ListReader list(listName, file.fd);
    const auto fail = [&](std::string_view why) {
        result.error = Message().quote(listName) += " ";
        result.error += why;
        return result;
    };
    std::uint64_t listedSeed = 0;
    std::uint64_t listedCells = 0;
    if (!list.readHeader(listedSeed, listedCells)) {
        result.error = list.error();
        return result;
    }
    if (listedSeed != seed) {
        Message why("lists the thrown pairs of seed ");
        why.unsignedNumber(listedSeed) += ", not of seed ";
        return fail(why.number(seed).text());
    }
    if (listedCells < static_cast<std::uint64_t>(cell)) {
        Message why("lists the thrown pairs of a table of ");
        why.unsignedNumber(listedCells) += " cells, which ends before cell ";
        return fail(why.number(cell + 1).text());
    }
    // P = cell + the pairs thrown before P: each listed pair below P moves
    // it on by one. The rest is read too, for the list is used only whole.
    auto pair = static_cast<std::uint64_t>(cell);
    for (std::uint64_t listed = 0; list.nextPair(listed);) {
        if (listed < pair) ++pair;
    }
    if (!list.error().empty()) {
        result.error = list.error();
        return result;
    }
    result.pair = pair;
    return result;
}

bool writeThrownPairList(BlockWriter& out, std::uint32_t seed, std::int64_t cells, unsigned threads,
                         FunctionRef<void(std::int64_t)> progress) {
    if (!out.writeThrough(listHeader(seed, cells).text())) return false;
    Digest digest;
    digest.add(seed);
    digest.add(static_cast<std::uint64_t>(cells));
    std::uint64_t count = 0;
    bool written = true;
    const auto list = [&](std::uint64_t pair) {
        constexpr std::size_t room = 24;
        digest.add(pair);
        ++count;
        if (!written || !out.makeRoom(room)) {
            written = false;
            return;
        }
        char* const end = std::to_chars(out.end(), out.end() + room, pair).ptr;
        *end = '\n';
        out.advance(end + 1);
    };
    (void)pairOfCellByScan(seed, cells, threads, list, progress);
    return written && out.writeThrough(closingLine(count, digest.value()).text()) && out.flush();
}

}  // namespace gaussian_noise
