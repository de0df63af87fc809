// The C library's rand() sequence as glibc computes it, without the C library
// and without its lock, with a skip of any number of draws; and rand() itself.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace gaussian_noise {

// A way to extend the sequence by whole groups of eight words: given the
// 48 words before (words[0..47], oldest first), writes the next `count`
// words (a multiple of eight) after them and each one's draw (word >> 1)
// to `draws`.
struct GroupKernel {
    const char* name;
    bool (*supported)();  // whether this processor can run `extend`
    void (*extend)(std::uint32_t* words, std::int32_t* draws, std::size_t count) noexcept;
};

// Every kernel built in, the portable one first, each later one faster
// where supported: eight words at a time with AVX2, sixteen with AVX-512.
std::span<const GroupKernel> groupKernelVariants() noexcept;
// The last supported one, which fill() uses.
const GroupKernel& chosenGroupKernel() noexcept;

// glibc's rand() is an additive lagged Fibonacci generator: each draw adds two
// earlier 32-bit words modulo 2^32, r[i] = r[i-3] + r[i-31], and returns the
// sum shifted right by one bit. The 31 newest words are the whole state.
//
// This copy computes the next 31 words at once, in place, and hands them out
// one by one, so that a draw is a test, a load and a shift. A copy of the
// value is a copy of the sequence at its current place.
class RandSequence {
public:
    // The state srand(seed) leaves, 310 draws already thrown away.
    explicit RandSequence(std::uint32_t seed) noexcept;

    // The next draw, 0..2147483647, as rand() would return it.
    std::int32_t operator()() noexcept {
        if (next_ == lag) refill();
        return static_cast<std::int32_t>(words_[next_++] >> 1U);
    }

    // Fills `draws` with the next draws, as that many calls of operator()
    // would: the words of this block first, then whole groups of eight at a
    // time (fillGroups, through `kernel`), then the rest a block at a time.
    void fill(std::span<std::int32_t> draws, const GroupKernel& kernel = chosenGroupKernel()) noexcept {
        draws = handOut(draws);
        if (draws.size() >= std::size_t{2} * group) draws = draws.subspan(fillGroups(draws, kernel));
        while (!draws.empty()) {
            refill();
            draws = handOut(draws);
        }
    }

    // Moves on as if operator() had been called `draws` times.
    void skip(std::uint64_t draws) noexcept;

    static constexpr unsigned lag = 31;  // the older tap, and the number of words kept
    static constexpr unsigned tap = 3;   // the newer tap

    // The draws fill() hands out to a kernel at once come in multiples of this.
    static constexpr std::size_t group = 8;

    // The words of a block, oldest first.
    using Block = std::array<std::uint32_t, lag>;
    // For kernels that move many sequences on side by side: the words of the
    // block the sequence stands at the end of (the block before, where none
    // of its block is handed out yet), and the sequence set to stand at the
    // end of the block `words`.
    [[nodiscard]] Block blockAtEnd() noexcept {
        stepBackToBlockEnd();
        return words_;
    }
    void standAtEndOf(const Block& words) noexcept {
        words_ = words;
        next_ = lag;
    }

private:
    // Replaces the words with the next `lag` words of the sequence.
    void refill() noexcept;
    // At a block's start with none of its words handed out (next_ 0): holds
    // the block before it instead, all handed out, as refill() leaves it.
    void stepBackToBlockEnd() noexcept;

    // Hands out as many of this block's words as `draws` takes; returns the rest of it.
    std::span<std::int32_t> handOut(std::span<std::int32_t> draws) noexcept {
        const std::size_t size = std::min<std::size_t>(draws.size(), lag - next_);
        for (std::size_t i = 0; i < size; ++i) draws[i] = static_cast<std::int32_t>(words_[next_ + i] >> 1U);
        next_ += static_cast<unsigned>(size);
        return draws.subspan(size);
    }

    // With every word of the block handed out: fills the longest prefix of
    // `draws` that is a whole number of groups, eight words at a time, and
    // leaves the block at the newest of them. Returns the prefix's length.
    std::size_t fillGroups(std::span<std::int32_t> draws, const GroupKernel& kernel) noexcept;

    // Words r[b] .. r[b+30] of the sequence, oldest first. The draws handed
    // out so far end with r[b+next_-1]; the next one is r[b+next_] >> 1, and
    // when next_ is `lag` every word is handed out.
    Block words_{};
    unsigned next_ = lag;
};

// The C library's own rand(), seeded with srand(seed): its first draws are
// taken at once, so that they can be compared with RandSequence(seed), and
// handed out first, so that the draws are rand()'s from the seed on whatever
// srand() does to a rand() that is not the C library's.
class CLibraryRand {
public:
    explicit CLibraryRand(std::uint32_t seed) noexcept;

    // Whether the draws taken are RandSequence(seed)'s: only then may the copy
    // stand in for rand(), in as many threads as wanted.
    [[nodiscard]] bool followsSequence() const noexcept;

    // Fills `draws` with the next draws of rand() after srand(seed).
    void fill(std::span<std::int32_t> draws) noexcept {
        std::generate(draws.begin(), draws.end(),
                      [this] { return next_ < taken_.size() ? taken_[next_++] : std::rand(); });
    }

private:
    std::uint32_t seed_;
    std::array<std::int32_t, 256> taken_{};
    std::size_t next_ = 0;
};

}  // namespace gaussian_noise
