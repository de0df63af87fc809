#include "rand_sequence.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

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

CLibraryRand::CLibraryRand(std::uint32_t seed) noexcept {
    std::srand(seed);
    std::generate(taken_.begin(), taken_.end(), [] { return std::rand(); });
}

bool CLibraryRand::followsSequence(std::uint32_t seed) const noexcept {
    RandSequence copy(seed);
    return std::all_of(taken_.begin(), taken_.end(), [&copy](std::int32_t draw) { return draw == copy(); });
}

}  // namespace gaussian_noise
