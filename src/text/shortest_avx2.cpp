// The --lossless cells with AVX2: the same text as writeShortest and a
// comma, four samples at a time.
//
// For the common case, 2^-14 <= |x| < 2^24 and fixed notation, each lane
// computes its digits as writeShortest does, with doubles instead of 64-bit
// scaled integers: x = c * 2^q there with -37 <= q <= 0, so 10^k <= 2^q with
// -12 <= k <= 0, and x / 10^k = c * 2^q * 10^-k, as the ends of x's rounding
// interval, (c -+ 1/2) * 2^q * 10^-k, are exact in a double (below 2^25 *
// 5^12 < 2^53). So is every comparison with the four candidates. Then each
// lane's digits become nine bytes, leading zeros included, and one byte
// shuffle, chosen by the sign, the decimal exponent and the count of
// significant digits and moved past the leading zeros, lays them out with
// '.', '0', '-' and the comma. A group with a lane outside that range goes
// through writeShortest, and so does a lane bound for exponent notation,
// with the lanes after it.
#include "text/number_text_variants.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstdint>

#include "text/digits.h"
#include "text/digits_avx2.h"
#include "text/number_text.h"

namespace gaussian_noise {
namespace {

constexpr int leastBiased = 113;     // 2^-14 <= |x|
constexpr int greatestBiased = 150;  // |x| < 2^24
constexpr int leastExponent = -4;    // of the text d.ddd * 10^X in fixed notation here
constexpr int greatestExponent = 7;
constexpr std::size_t exponentCount = greatestExponent - leastExponent + 1;

// The source bytes of a cell: a zero at 0, the nine digits at 1 to 9, then these.
constexpr std::uint8_t firstDigitByte = 1;
constexpr std::uint8_t pointByte = 10;
constexpr std::uint8_t zeroByte = 11;
constexpr std::uint8_t minusByte = 12;
constexpr std::uint8_t commaByte = 13;
constexpr std::uint8_t noByte = 0x80;

// A cell's layout, by its sign, its exponent X (the text is d.ddd * 10^X)
// and its count of significant digits: the bytes of "[-]d.ddd," with the
// point after digit X, "[-]0.000ddd," for X below 0, or "[-]ddd000," for a
// whole number; and the cell's length, comma included, or 0 where the
// exponent notation is shorter.
struct Layout {
    std::array<std::uint8_t, 16> shuffle{};
    std::uint8_t length = 0;
};
constexpr std::size_t digitCounts = 9;
constexpr std::size_t layoutIndex(int negative, int exponent, int significant) {
    return (static_cast<std::size_t>(negative) * exponentCount + static_cast<std::size_t>(exponent - leastExponent)) *
               digitCounts +
           static_cast<std::size_t>(significant - 1);
}

constexpr std::array<Layout, 2 * exponentCount * digitCounts> makeLayouts() {
    std::array<Layout, 2 * exponentCount * digitCounts> layouts{};
    for (int negative = 0; negative <= 1; ++negative) {
        for (int exponent = leastExponent; exponent <= greatestExponent; ++exponent) {
            for (int significant = 1; significant <= static_cast<int>(digitCounts); ++significant) {
                Layout& layout = layouts[layoutIndex(negative, exponent, significant)];
                layout.shuffle.fill(noByte);
                if (fixedLength(exponent, significant) > exponentLength(significant)) continue;
                std::size_t at = 0;
                if (negative != 0) layout.shuffle[at++] = minusByte;
                if (exponent < 0) {
                    layout.shuffle[at++] = zeroByte;
                    layout.shuffle[at++] = pointByte;
                    for (int i = 0; i < -exponent - 1; ++i) layout.shuffle[at++] = zeroByte;
                }
                const int digits = std::max(significant, exponent + 1);
                for (int digit = 0; digit < digits; ++digit) {
                    layout.shuffle[at++] = static_cast<std::uint8_t>(firstDigitByte + digit);
                    if (digit == exponent && digit + 1 < digits) layout.shuffle[at++] = pointByte;
                }
                layout.shuffle[at++] = commaByte;
                layout.length = static_cast<std::uint8_t>(at);
            }
        }
    }
    return layouts;
}
constexpr auto layouts = makeLayouts();
static_assert(layouts[layoutIndex(1, -4, 9)].length == 16, "the longest cell, \"-0.000ddddddddd,\", fills 16 bytes");

// The least and the greatest integer in the interval from low to high, the
// ends included where `even`.
struct IntegerBounds {
    __m256d least;
    __m256d greatest;
};
[[gnu::target("avx2")]] inline IntegerBounds integerBounds(__m256d low, __m256d high, __m256d even) noexcept {
    const __m256d one = _mm256_set1_pd(1.0);
    return {_mm256_blendv_pd(_mm256_add_pd(_mm256_floor_pd(low), one), _mm256_ceil_pd(low), even),
            _mm256_blendv_pd(_mm256_sub_pd(_mm256_ceil_pd(high), one), _mm256_floor_pd(high), even)};
}

// Whether the integer d lies within the bounds.
[[gnu::target("avx2")]] inline __m256d inside(__m256d d, const IntegerBounds& bounds) noexcept {
    return _mm256_and_pd(_mm256_cmp_pd(d, bounds.least, _CMP_GE_OQ), _mm256_cmp_pd(d, bounds.greatest, _CMP_LE_OQ));
}

// The source bytes of four cells, two to a register: for each lane's
// digits n (an integer double, 1 <= n < 10^9), "0" and n's nine digits,
// leading zeros included, then '.', '0', '-' and ','.
struct Sources {
    __m256i lanes01;
    __m256i lanes23;
};
[[gnu::target("avx2")]] inline Sources digitSources(__m256d digits) noexcept {
    // n = a * 10^6 + b, a of three digits written as four, b of six; a by
    // a multiplication by 2^50 / 10^6 rounded up, exact for n < 2^30.
    const __m256i n = _mm256_castpd_si256(_mm256_add_pd(digits, _mm256_set1_pd(0x1p52)));  // n in the low bits
    const __m256i a = _mm256_srli_epi64(_mm256_mul_epu32(n, _mm256_set1_epi64x(1125899907)), 50);
    const __m256i b = _mm256_sub_epi64(n, _mm256_mul_epu32(a, _mm256_set1_epi64x(1000000)));
    const __m256i high = pairText(pairsOf(a, false));  // bytes 0-3
    const __m256i low = pairText(pairsOf(b, true));    // bytes 0-5
    // Per lane: bytes 0-3 of `high`, 0-5 of `low`, then ".0-,".
    const __m256i first =
        _mm256_or_si256(_mm256_and_si256(high, _mm256_set1_epi64x(0xFFFF'FFFF)), _mm256_slli_epi64(low, 32));
    const __m256i second = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi64(low, 32), _mm256_set1_epi64x(0xFFFF)),
                                           _mm256_set1_epi64x(0x2C'2D'30'2E'0000));
    // Lanes 0, 2, 1, 3 in the four 64-bit places, then each lane's two halves side by side.
    const __m256i firstOrdered = _mm256_permute4x64_epi64(first, 0b11'01'10'00);
    const __m256i secondOrdered = _mm256_permute4x64_epi64(second, 0b11'01'10'00);
    return {_mm256_unpacklo_epi64(firstOrdered, secondOrdered), _mm256_unpackhi_epi64(firstOrdered, secondOrdered)};
}

// The source bytes of one lane.
[[gnu::target("avx2")]] inline __m128i laneBytes(const Sources& sources, std::size_t lane) noexcept {
    const __m256i pair = lane < 2 ? sources.lanes01 : sources.lanes23;
    return lane % 2 == 0 ? _mm256_castsi256_si128(pair) : _mm256_extracti128_si256(pair, 1);
}

// A cell's text from its source bytes: the layout's shuffle, with its
// references to digits moved past the `leading` zeros.
[[gnu::target("avx2")]] inline __m128i layOut(__m128i bytes, const std::uint8_t* shuffle, int leading) noexcept {
    const __m128i order = _mm_loadu_si128(static_cast<const __m128i*>(static_cast<const void*>(shuffle)));
    const __m128i isDigit = _mm_and_si128(_mm_cmpgt_epi8(order, _mm_setzero_si128()),
                                          _mm_cmplt_epi8(order, _mm_set1_epi8(firstDigitByte + 9)));
    const auto shift = static_cast<char>(leading);
    return _mm_shuffle_epi8(bytes, _mm_add_epi8(order, _mm_and_si128(isDigit, _mm_set1_epi8(shift))));
}

// k = floor(q log10 2) for -37 <= q <= 0, by a 22-bit fixed-point log10 2;
// the lanes compute it the same way.
constexpr int log10Of2Bits = 22;
constexpr int log10Of2Fixed = 1262611;  // log10 2 * 2^22, rounded up
constexpr int decimalExponentOf(int q) { return (q * log10Of2Fixed) >> log10Of2Bits; }
constexpr int leastQ = -37;

// For each q, the factor 2^q * 10^-k, exact in a double: 5^-k * 2^(q-k)
// with 5^-k <= 5^12 < 2^28.
constexpr std::array<double, 1 - leastQ> makeFactors() {
    std::array<double, 1 - leastQ> factors{};
    for (int q = leastQ; q <= 0; ++q) {
        double factor = 1.0;
        for (int i = 0; i < -q; ++i) factor /= 2.0;
        for (int i = 0; i < -decimalExponentOf(q); ++i) factor *= 10.0;
        factors[static_cast<std::size_t>(q - leastQ)] = factor;
    }
    return factors;
}
constexpr auto factors = makeFactors();

// Four samples' digits as source bytes, and their k (a text's exponent is
// k + 8 less its leading zeros); `common` is false where one of them is
// outside the common case.
struct Group {
    Sources sources;
    std::array<std::int32_t, 4> ks;
    bool common;
};

[[gnu::target("avx2")]] inline Group digitsOfFour(const float* samples) noexcept {
    const __m128i bits = _mm_loadu_si128(static_cast<const __m128i*>(static_cast<const void*>(samples)));
    const __m128i biased = _mm_and_si128(_mm_srli_epi32(bits, 23), _mm_set1_epi32(0xFF));
    const __m128i fraction = _mm_and_si128(bits, _mm_set1_epi32(0x7F'FFFF));
    // In range, and not a power of two, whose interval is lopsided.
    const __m128i outside = _mm_or_si128(_mm_or_si128(_mm_cmplt_epi32(biased, _mm_set1_epi32(leastBiased)),
                                                      _mm_cmpgt_epi32(biased, _mm_set1_epi32(greatestBiased))),
                                         _mm_cmpeq_epi32(fraction, _mm_setzero_si128()));
    if (_mm_movemask_epi8(outside) != 0) return Group{Sources{}, {}, false};

    // x = c * 2^q; its decimal exponent k and the factor 2^q * 10^-k by q.
    const __m128i q = _mm_sub_epi32(biased, _mm_set1_epi32(150));
    const __m128i k = _mm_srai_epi32(_mm_mullo_epi32(q, _mm_set1_epi32(log10Of2Fixed)), log10Of2Bits);
    const __m256d factor = _mm256_i32gather_pd(factors.data(), _mm_sub_epi32(q, _mm_set1_epi32(leastQ)), 8);
    const __m128i significand = _mm_or_si128(fraction, _mm_set1_epi32(1 << 23));
    const __m256d c = _mm256_cvtepi32_pd(significand);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d v = _mm256_mul_pd(c, factor);
    const __m256d low = _mm256_mul_pd(_mm256_sub_pd(c, half), factor);
    const __m256d high = _mm256_mul_pd(_mm256_add_pd(c, half), factor);
    const __m256d even = _mm256_castsi256_pd(
        _mm256_cvtepi32_epi64(_mm_cmpeq_epi32(_mm_and_si128(significand, _mm_set1_epi32(1)), _mm_setzero_si128())));

    const __m256d ten = _mm256_set1_pd(10.0);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d s = _mm256_floor_pd(v);
    const __m256d t = _mm256_add_pd(s, one);
    const __m256d sp10 = _mm256_mul_pd(_mm256_floor_pd(_mm256_mul_pd(s, _mm256_set1_pd(0.1))), ten);
    const __m256d tp10 = _mm256_add_pd(sp10, ten);
    const IntegerBounds bounds = integerBounds(low, high, even);
    const __m256d lowerTenIn = inside(sp10, bounds);
    const __m256d upperTenIn = inside(tp10, bounds);
    const __m256d lowerIn = inside(s, bounds);
    const __m256d upperIn = inside(t, bounds);
    // Both integers in: the nearer, ties to the even one.
    const __m256d below = _mm256_sub_pd(v, s);
    const __m256d above = _mm256_sub_pd(t, v);
    const __m256d sOdd =
        _mm256_cmp_pd(_mm256_mul_pd(_mm256_floor_pd(_mm256_mul_pd(s, half)), _mm256_set1_pd(2.0)), s, _CMP_NEQ_OQ);
    const __m256d takeUpper = _mm256_or_pd(_mm256_cmp_pd(below, above, _CMP_GT_OQ),
                                           _mm256_and_pd(_mm256_cmp_pd(below, above, _CMP_EQ_OQ), sOdd));
    const __m256d nearer = _mm256_blendv_pd(s, t, takeUpper);
    const __m256d integer = _mm256_blendv_pd(nearer, _mm256_blendv_pd(t, s, lowerIn), _mm256_xor_pd(lowerIn, upperIn));
    const __m256d digits =
        _mm256_blendv_pd(integer, _mm256_blendv_pd(tp10, sp10, lowerTenIn), _mm256_xor_pd(lowerTenIn, upperTenIn));

    Group group{digitSources(digits), {}, true};
    _mm_storeu_si128(static_cast<__m128i*>(static_cast<void*>(group.ks.data())), k);
    return group;
}

// Writes the cells of a group's four samples, in order, up to the first
// that is not of the common case; returns how many it wrote.
[[gnu::target("avx2")]] inline std::size_t layOutFour(char*& out, const float* samples, const Group& group) noexcept {
    if (!group.common) return 0;
    const Sources& sources = group.sources;
    const std::array<std::int32_t, 4>& ks = group.ks;
    // Bit i of a lane's 16 is set where its source byte i is '0'.
    const std::array<std::uint32_t, 2> zeroBytes{
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(sources.lanes01, _mm256_set1_epi8('0')))),
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(sources.lanes23, _mm256_set1_epi8('0'))))};

    for (std::size_t lane = 0; lane < 4; ++lane) {
        // The digits from the first to the last that is not a zero; the
        // text's exponent follows from how many zeros lead.
        const std::uint32_t nonZero = ~(zeroBytes[lane / 2] >> (16 * (lane % 2) + firstDigitByte)) & 0x1FFU;
        const int leading = std::countr_zero(nonZero);
        const int significant = static_cast<int>(std::bit_width(nonZero)) - leading;
        const int exponent = ks[lane] + 8 - leading;
        if (static_cast<unsigned>(exponent - leastExponent) >= exponentCount) return lane;
        const auto negative = static_cast<int>(std::bit_cast<std::uint32_t>(samples[lane]) >> 31U);
        const Layout& layout = layouts[layoutIndex(negative, exponent, significant)];
        if (layout.length == 0) return lane;  // shorter in exponent notation
        _mm_storeu_si128(static_cast<__m128i*>(static_cast<void*>(out)),
                         layOut(laneBytes(sources, lane), layout.shuffle.data(), leading));
        out += layout.length;
    }
    return 4;
}

// Writes the group's cells, and those its lanes could not take through writeShortest.
[[gnu::target("avx2")]] inline void writeGroup(char*& out, const float* samples, const Group& group) noexcept {
    for (std::size_t i = layOutFour(out, samples, group); i < 4; ++i) out = writeShortestCell(out, samples[i]);
}

}  // namespace

// Each group's digits are worked out before the group before it is laid
// out, so that the processor overlaps the two.
[[gnu::target("avx2")]] char* writeShortestCellsAvx2(char* out, std::span<const float> samples) noexcept {
    const std::size_t groups = samples.size() / 4;
    if (groups > 0) {
        Group next = digitsOfFour(samples.data());
        for (std::size_t i = 0; i + 1 < groups; ++i) {
            const Group current = next;
            next = digitsOfFour(samples.data() + 4 * (i + 1));
            writeGroup(out, samples.data() + 4 * i, current);
        }
        writeGroup(out, samples.data() + 4 * (groups - 1), next);
    }
    for (std::size_t done = 4 * groups; done < samples.size(); ++done) out = writeShortestCell(out, samples[done]);
    return out;
}

}  // namespace gaussian_noise

#endif
