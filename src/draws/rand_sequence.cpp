#include "draws/rand_sequence.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "cpu.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace gaussian_noise {

namespace {

constexpr unsigned lag = RandSequence::lag;
constexpr unsigned tap = RandSequence::tap;

// A polynomial over the integers modulo 2^32 of degree below `lag`:
// coefficients of x^0 .. x^30.
using Polynomial = std::array<std::uint32_t, lag>;

// a * b modulo x^31 - x^28 - 1. Since x^31 = x^28 + 1 there, every x^d of
// degree d >= 31 is x^(d-3) + x^(d-31); folding from the top down leaves
// degrees below 31 only.
Polynomial multiply(const Polynomial& a, const Polynomial& b) noexcept {
    std::array<std::uint32_t, 2 * lag - 1> product{};
    for (unsigned i = 0; i < lag; ++i) {
        for (unsigned j = 0; j < lag; ++j) product[i + j] += a[i] * b[j];
    }
    for (unsigned d = 2 * lag - 2; d >= lag; --d) {
        product[d - tap] += product[d];
        product[d - lag] += product[d];
    }
    Polynomial reduced{};
    for (unsigned i = 0; i < lag; ++i) reduced[i] = product[i];
    return reduced;
}

// base^exponent modulo x^31 - x^28 - 1, by repeated squaring.
Polynomial power(const Polynomial& base, std::uint64_t exponent) noexcept {
    Polynomial result{1};
    for (int bit = static_cast<int>(std::bit_width(exponent)) - 1; bit >= 0; --bit) {
        result = multiply(result, result);
        if (((exponent >> static_cast<unsigned>(bit)) & 1U) != 0) result = multiply(result, base);
    }
    return result;
}

}  // namespace

RandSequence::RandSequence(std::uint32_t seed) noexcept {
    // srand's words: the seed read as a signed 32-bit number (1 for 0), each
    // next word 16807 times the previous modulo 2^31 - 1. Schrage's method
    // keeps both products within 32 bits: 2147483647 = 16807 * 127773 + 2836.
    std::array<std::int32_t, lag> seeded{};
    std::int32_t word = seed == 0 ? 1 : static_cast<std::int32_t>(seed);
    seeded[0] = word;
    for (unsigned i = 1; i < lag; ++i) {
        const std::int32_t hi = word / 127773;
        const std::int32_t lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0) word += 2147483647;
        seeded[i] = word;
    }
    // The first draw adds word 3 and word 0: words 3 .. 30 are the oldest and
    // words 0 .. 2 the newest.
    for (unsigned i = 0; i < lag; ++i) words_[i] = static_cast<std::uint32_t>(seeded[(i + tap) % lag]);
    // srand throws the first 310 draws away, ten times the words kept.
    for (unsigned block = 0; block < 10; ++block) refill();
    next_ = lag;
}

void RandSequence::refill() noexcept {
    // Word r[b+31+j] replaces r[b+j] and adds r[b+28+j]: for j < 3 that is a
    // word of the old block, after it one of the words just computed.
    // The newest word of each of the tap's three chains is kept in a register
    // (`newest`), so that no word waits on a store of the one before it.
    static_assert(lag % tap == 1, "the last word closes the first chain");
    std::array<std::uint32_t, tap> newest{};
    for (unsigned j = 0; j < tap; ++j) newest[j] = words_[j + lag - tap];
    for (unsigned j = 0; j + tap <= lag; j += tap) {
        for (unsigned k = 0; k < tap; ++k) newest[k] = words_[j + k] += newest[k];
    }
    words_[lag - 1] += newest[0];
    next_ = 0;
}

// Substituting r[i-3] = r[i-6] + r[i-34] twice into r[i] = r[i-3] + r[i-31]
// gives r[i] = r[i-9] + r[i-31] + r[i-34] + r[i-37], whose nearest word is
// nine back: any eight words in a row are sums of words already known, one
// vector of eight sums with AVX2. Three more times gives
// r[i] = r[i-18] + r[i-31] + r[i-34] + r[i-37] + r[i-40] + r[i-43] + r[i-46],
// eighteen back: sixteen words at once, with AVX-512.
namespace {

// The words kept before the new ones: the longer relation reaches 46 back,
// and the AVX-512 kernel holds three whole groups of sixteen.
constexpr unsigned reach = 48;

void extendByGroupsPortable(std::uint32_t* words, std::int32_t* draws, std::size_t count) noexcept {
    for (std::size_t i = reach; i < reach + count; ++i) {
        words[i] = words[i - 9] + words[i - 31] + words[i - 34] + words[i - 37];
        draws[i - reach] = static_cast<std::int32_t>(words[i] >> 1U);
    }
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] inline __m256i loadGroup(const std::uint32_t* at) noexcept {
    return _mm256_loadu_si256(static_cast<const __m256i*>(static_cast<const void*>(at)));
}

// Words s .. s+7 of the sixteen in `older` then `newer`, for s of 1 to 7:
// two permutes and a blend, so that nothing is read back from memory just
// after it was stored (a load across two recent stores waits for both).
template <int s>
[[gnu::target("avx2")]] inline __m256i wordsFrom(__m256i older, __m256i newer) noexcept {
    const __m256i place = _mm256_setr_epi32(s & 7, (s + 1) & 7, (s + 2) & 7, (s + 3) & 7, (s + 4) & 7, (s + 5) & 7,
                                            (s + 6) & 7, (s + 7) & 7);
    return _mm256_blend_epi32(_mm256_permutevar8x32_epi32(older, place), _mm256_permutevar8x32_epi32(newer, place),
                              (0xFF << (8 - s)) & 0xFF);
}

[[gnu::target("avx2")]] void extendByGroupsAvx2(std::uint32_t* words, std::int32_t* draws, std::size_t count) noexcept {
    // The five groups before the next: r[j-40..j-33] .. r[j-8..j-1].
    const std::uint32_t* history = words + reach - 40;
    __m256i fifth = loadGroup(history);
    __m256i fourth = loadGroup(history + 8);
    __m256i third = loadGroup(history + 16);
    __m256i second = loadGroup(history + 24);
    __m256i first = loadGroup(history + 32);
    for (std::size_t done = 0; done < count; done += 8) {
        // r[j+k] = r[j+k-9] + r[j+k-31] + r[j+k-34] + r[j+k-37] for k = 0..7.
        const __m256i sum =
            _mm256_add_epi32(_mm256_add_epi32(wordsFrom<7>(second, first), wordsFrom<1>(fourth, third)),
                             _mm256_add_epi32(wordsFrom<6>(fifth, fourth), wordsFrom<3>(fifth, fourth)));
        _mm256_storeu_si256(static_cast<__m256i*>(static_cast<void*>(words + reach + done)), sum);
        _mm256_storeu_si256(static_cast<__m256i*>(static_cast<void*>(draws + done)), _mm256_srli_epi32(sum, 1));
        fifth = fourth;
        fourth = third;
        third = second;
        second = first;
        first = sum;
    }
}

[[gnu::target("avx512f")]] void extendByGroupsAvx512(std::uint32_t* words, std::int32_t* draws,
                                                     std::size_t count) noexcept {
    // The three groups before the next: r[j-48..j-33], r[j-32..j-17], r[j-16..j-1].
    __m512i third = _mm512_loadu_si512(words);
    __m512i second = _mm512_loadu_si512(words + 16);
    __m512i first = _mm512_loadu_si512(words + 32);
    std::size_t done = 0;
    for (; done + 16 <= count; done += 16) {
        // r[j+k] for k = 0..15 from the words 18, 31, 34, 37, 40, 43 and 46
        // back: words 30, 17, 14, 11, 8, 5 and 2 on of the three groups.
        // valignd takes sixteen words in a row from two registers.
        const __m512i near =
            _mm512_add_epi32(_mm512_alignr_epi32(first, second, 14), _mm512_alignr_epi32(first, second, 1));
        const __m512i middle =
            _mm512_add_epi32(_mm512_alignr_epi32(second, third, 14), _mm512_alignr_epi32(second, third, 11));
        const __m512i far = _mm512_add_epi32(
            _mm512_add_epi32(_mm512_alignr_epi32(second, third, 8), _mm512_alignr_epi32(second, third, 5)),
            _mm512_alignr_epi32(second, third, 2));
        const __m512i sum = _mm512_add_epi32(_mm512_add_epi32(near, middle), far);
        _mm512_storeu_si512(words + reach + done, sum);
        _mm512_storeu_si512(draws + done, _mm512_srli_epi32(sum, 1));
        third = second;
        second = first;
        first = sum;
    }
    // A last group of eight, from the words just stored.
    extendByGroupsPortable(words + done, draws + done, count - done);
}
#endif

constexpr std::array groupKernels {
    GroupKernel{"portable", cpu::any, extendByGroupsPortable},
#if defined(__x86_64__)
        GroupKernel{"avx2", cpu::avx2, extendByGroupsAvx2}, GroupKernel{"avx512", cpu::avx512f, extendByGroupsAvx512},
#endif
};

}  // namespace

std::span<const GroupKernel> groupKernelVariants() noexcept { return groupKernels; }

const GroupKernel& chosenGroupKernel() noexcept {
    static const auto& chosen = cpu::lastSupported<GroupKernel>(groupKernels);
    return chosen;
}

std::size_t RandSequence::fillGroups(std::span<std::int32_t> draws, const GroupKernel& kernel) noexcept {
    // The words handed out last, r[b] .. r[b+30], and the seventeen before
    // them, from r[j] = r[j+31] - r[j+28]; then as many new ones as the groups take.
    constexpr std::size_t perCall = 512;  // the draws of the batch step's 256 pairs
    // Scratch: every word read is written first.
    std::array<std::uint32_t, reach + perCall> words;  // NOLINT(cppcoreguidelines-pro-type-member-init)
    std::copy(words_.begin(), words_.end(), words.begin() + (reach - lag));
    for (unsigned j = reach - lag; j-- > 0;) words[j] = words[j + lag] - words[j + lag - tap];
    std::size_t filled = 0;
    while (draws.size() - filled >= group) {
        const std::size_t count = std::min(perCall, (draws.size() - filled) / group * group);
        kernel.extend(words.data(), draws.data() + filled, count);
        filled += count;
        // The newest `reach` words are the history of the next call's groups.
        std::copy(words.begin() + static_cast<std::ptrdiff_t>(count),
                  words.begin() + static_cast<std::ptrdiff_t>(count + reach), words.begin());
    }
    std::copy(words.begin() + (reach - lag), words.begin() + reach, words_.begin());
    next_ = lag;
    return filled;
}

void RandSequence::stepBackToBlockEnd() noexcept {
    if (next_ != 0) return;
    // r[j] = r[j+31] - r[j+28]: for the block before, r[j+28] is a word of
    // this block but for the first three, which are its own last three.
    std::array<std::uint32_t, lag> before{};
    for (unsigned j = lag; j-- > 0;) before[j] = words_[j] - (j >= tap ? words_[j - tap] : before[j + lag - tap]);
    words_ = before;
    next_ = lag;
}

void RandSequence::skip(std::uint64_t draws) noexcept {
    // The new place is next_ + draws words past r[b]: whole blocks of `lag`
    // words, then next_ within the block (split so that nothing overflows).
    const std::uint64_t rest = next_ + draws % lag;
    const std::uint64_t blocks = draws / lag + rest / lag;
    next_ = static_cast<unsigned>(rest % lag);
    if (blocks == 0) return;

    // The sequence obeys x^31 = x^28 + 1, x moving it on by one word, so
    // moving on n words is multiplying by x^n modulo x^31 - x^28 - 1: with
    // x^n = c0 + c1 x + ... + c30 x^30 there, r[b+n+i] = sum of cj r[b+i+j].
    // The sums for i up to 30 need the words up to r[b+60].
    Polynomial moveOneBlock{};  // x^31 = x^28 + 1
    moveOneBlock[0] = 1;
    moveOneBlock[lag - tap] = 1;
    const Polynomial c = power(moveOneBlock, blocks);
    std::array<std::uint32_t, 2 * lag - 1> words{};
    for (unsigned i = 0; i < lag; ++i) words[i] = words_[i];
    for (unsigned i = lag; i < words.size(); ++i) words[i] = words[i - tap] + words[i - lag];
    for (unsigned i = 0; i < lag; ++i) {
        std::uint32_t sum = 0;
        for (unsigned j = 0; j < lag; ++j) sum += c[j] * words[i + j];
        words_[i] = sum;
    }
}

CLibraryRand::CLibraryRand(std::uint32_t seed) noexcept : seed_(seed) {
    std::srand(seed);
    std::generate(taken_.begin(), taken_.end(), [] { return std::rand(); });
}

bool CLibraryRand::followsSequence() const noexcept {
    RandSequence copy(seed_);
    return std::all_of(taken_.begin(), taken_.end(), [&copy](std::int32_t draw) { return draw == copy(); });
}

}  // namespace gaussian_noise
