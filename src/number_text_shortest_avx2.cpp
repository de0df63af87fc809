// The --lossless cells with AVX2: the same text as writeShortest and a
// comma, four samples at a time.
//
// For the common case, 2^-14 <= |x| < 2^24 and fixed notation, each lane
// computes its digits as writeShortest does, with doubles instead of 64-bit
// scaled integers: x = c * 2^q there with -37 <= q <= 0, so 10^k <= 2^q with
// -12 <= k <= 0, and x / 10^k = c * 2^q * 10^-k, as the ends of x's rounding
// interval, (c -+ 1/2) * 2^q * 10^-k, are exact in a double (below 2^25 *
// 5^12 < 2^53). So is every comparison with the four candidates. Then each
// lane's nine digits (the decimal scaled to nine) become bytes, and one byte
// shuffle chosen by its sign and decimal exponent lays them out with '.',
// '0' and '-'; the trailing zeros are cut by the length. A group with a lane
// outside that range goes through writeShortest, and so does a lane bound
// for exponent notation, with the lanes after it.
#include "number_text_variants.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "number_text.h"

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
constexpr std::uint8_t noByte = 0x80;

// For a sign and an exponent X, the bytes of "[-]d.dddddddd" with the point
// after digit X, or "[-]0.000ddddddddd" for X below 0.
constexpr std::array<std::array<std::uint8_t, 16>, 2 * exponentCount> makeShuffles() {
    std::array<std::array<std::uint8_t, 16>, 2 * exponentCount> shuffles{};
    for (int negative = 0; negative <= 1; ++negative) {
        for (int exponent = leastExponent; exponent <= greatestExponent; ++exponent) {
            auto& shuffle = shuffles[static_cast<std::size_t>(negative) * exponentCount +
                                     static_cast<std::size_t>(exponent - leastExponent)];
            shuffle.fill(noByte);
            std::size_t at = 0;
            if (negative != 0) shuffle[at++] = minusByte;
            if (exponent < 0) {
                shuffle[at++] = zeroByte;
                shuffle[at++] = pointByte;
                for (int i = 0; i < -exponent - 1; ++i) shuffle[at++] = zeroByte;
                for (std::uint8_t digit = 0; digit < 9; ++digit) shuffle[at++] = firstDigitByte + digit;
            } else {
                for (std::uint8_t digit = 0; digit < 9; ++digit) {
                    shuffle[at++] = firstDigitByte + digit;
                    if (digit == exponent) shuffle[at++] = pointByte;
                }
            }
        }
    }
    return shuffles;
}
constexpr auto shuffles = makeShuffles();

// Whether d lies in the interval from low to high, the ends included where `even`.
[[gnu::target("avx2")]] inline __m256d inside(__m256d d, __m256d low, __m256d high, __m256d even) noexcept {
    const __m256d aboveLow =
        _mm256_or_pd(_mm256_cmp_pd(d, low, _CMP_GT_OQ), _mm256_and_pd(even, _mm256_cmp_pd(d, low, _CMP_EQ_OQ)));
    const __m256d belowHigh =
        _mm256_or_pd(_mm256_cmp_pd(d, high, _CMP_LT_OQ), _mm256_and_pd(even, _mm256_cmp_pd(d, high, _CMP_EQ_OQ)));
    return _mm256_and_pd(aboveLow, belowHigh);
}

// Per 64-bit lane, n = 2^52 + m with m < 10^4 in the low 32 bits: the
// 16-bit words 0 and 1 hold m / 100 and m % 100. And with m < 10^6: words 0,
// 1 and 2 hold its three pairs of digits. Each pair from the top of a binary
// fraction of 2^32 (exact below 10^6).
[[gnu::target("avx2")]] inline __m256i pairsOf(__m256i n, bool three) noexcept {
    const __m256i hundred = _mm256_set1_epi64x(100);
    __m256i t = _mm256_mul_epu32(n, _mm256_set1_epi64x(three ? 429497 : 42949673));  // 2^32 / 10^4, / 10^2
    const __m256i first = _mm256_srli_epi64(t, 32);
    t = _mm256_mul_epu32(t, hundred);
    const __m256i second = _mm256_srli_epi64(t, 16);
    if (!three) return _mm256_blend_epi16(first, second, 0b0010'0010);
    t = _mm256_mul_epu32(t, hundred);
    return _mm256_blend_epi16(_mm256_blend_epi16(first, second, 0b0010'0010), t, 0b0100'0100);
}

// Each 16-bit pair p < 100 of a lane as the bytes of p / 10 and p % 10, in ASCII.
[[gnu::target("avx2")]] inline __m256i pairText(__m256i pairs) noexcept {
    const __m256i tens = _mm256_mulhi_epu16(pairs, _mm256_set1_epi16(6554));
    const __m256i units = _mm256_sub_epi16(pairs, _mm256_mullo_epi16(tens, _mm256_set1_epi16(10)));
    return _mm256_add_epi8(_mm256_or_si256(tens, _mm256_slli_epi16(units, 8)), _mm256_set1_epi8('0'));
}

// The source bytes of four cells: for each lane's nine digits n (a double,
// 10^8 <= n < 10^9), "0" and the nine digits, then '.', '0' and '-'.
[[gnu::target("avx2")]] inline void digitSources(__m256d nine,
                                                 std::array<std::array<std::uint8_t, 16>, 4>& sources) noexcept {
    // n = a * 10^6 + b, a of three digits written as four, b of six.
    const __m256d million = _mm256_set1_pd(1e6);
    const __m256d a = _mm256_floor_pd(_mm256_div_pd(nine, million));
    const __m256d b = _mm256_sub_pd(nine, _mm256_mul_pd(a, million));
    const __m256d offset = _mm256_set1_pd(0x1p52);  // the integer in the low bits
    const __m256i high = pairText(pairsOf(_mm256_castpd_si256(_mm256_add_pd(a, offset)), false));  // bytes 0-3
    const __m256i low = pairText(pairsOf(_mm256_castpd_si256(_mm256_add_pd(b, offset)), true));    // bytes 0-5
    // Per lane: bytes 0-3 of `high`, 0-5 of `low`, then ".0-".
    const __m256i first =
        _mm256_or_si256(_mm256_and_si256(high, _mm256_set1_epi64x(0xFFFF'FFFF)), _mm256_slli_epi64(low, 32));
    const __m256i second = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi64(low, 32), _mm256_set1_epi64x(0xFFFF)),
                                           _mm256_set1_epi64x(0x2D'30'2E'0000));
    // Lanes 0, 2, 1, 3 in the four 64-bit places, then each lane's two halves side by side.
    const __m256i firstOrdered = _mm256_permute4x64_epi64(first, 0b11'01'10'00);
    const __m256i secondOrdered = _mm256_permute4x64_epi64(second, 0b11'01'10'00);
    const __m256i lanes01 = _mm256_unpacklo_epi64(firstOrdered, secondOrdered);
    const __m256i lanes23 = _mm256_unpackhi_epi64(firstOrdered, secondOrdered);
    std::memcpy(sources[0].data(), &lanes01, sizeof lanes01);
    std::memcpy(sources[2].data(), &lanes23, sizeof lanes23);
}

// `value` times `power` in the lanes where `exponent` has `bit`.
[[gnu::target("avx2")]] inline __m256d timesPowerOfTen(__m256d value, __m256i exponent, long long bit,
                                                       double power) noexcept {
    const __m256d has = _mm256_castsi256_pd(
        _mm256_cmpeq_epi64(_mm256_and_si256(exponent, _mm256_set1_epi64x(bit)), _mm256_set1_epi64x(bit)));
    return _mm256_blendv_pd(value, _mm256_mul_pd(value, _mm256_set1_pd(power)), has);
}

// Where `nine` is below `limit`: times `power`, and `step` added to `m`.
[[gnu::target("avx2")]] inline void scaleUp(__m256d& nine, __m256i& m, long long step, double limit,
                                            double power) noexcept {
    const __m256d isShort = _mm256_cmp_pd(nine, _mm256_set1_pd(limit), _CMP_LT_OQ);
    nine = _mm256_blendv_pd(nine, _mm256_mul_pd(nine, _mm256_set1_pd(power)), isShort);
    m = _mm256_add_epi64(m, _mm256_and_si256(_mm256_castpd_si256(isShort), _mm256_set1_epi64x(step)));
}

// Writes the cells of four samples, in order, up to the first that is not of
// the common case; returns how many it wrote.
[[gnu::target("avx2")]] std::size_t writeFour(char*& out, const float* samples) noexcept {
    const __m128i bits = _mm_loadu_si128(static_cast<const __m128i*>(static_cast<const void*>(samples)));
    const __m128i biased = _mm_and_si128(_mm_srli_epi32(bits, 23), _mm_set1_epi32(0xFF));
    const __m128i fraction = _mm_and_si128(bits, _mm_set1_epi32(0x7F'FFFF));
    // In range, and not a power of two, whose interval is lopsided.
    const __m128i outside = _mm_or_si128(_mm_or_si128(_mm_cmplt_epi32(biased, _mm_set1_epi32(leastBiased)),
                                                      _mm_cmpgt_epi32(biased, _mm_set1_epi32(greatestBiased))),
                                         _mm_cmpeq_epi32(fraction, _mm_setzero_si128()));
    if (_mm_movemask_epi8(outside) != 0) return 0;

    // k = floor(q log10 2), for -37 <= q <= 0 by a 22-bit fixed-point
    // log10 2; the factor 2^q * 10^-k, both exact in a double: 2^q from its
    // exponent bits, 10^-k as a product of 10^8, 10^4, 10^2 and 10 by the
    // bits of -k.
    const __m128i q = _mm_sub_epi32(biased, _mm_set1_epi32(150));
    const __m128i k = _mm_srai_epi32(_mm_mullo_epi32(q, _mm_set1_epi32(1262611)), 22);
    const __m256d powerOfTwo =
        _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_cvtepi32_epi64(_mm_add_epi32(q, _mm_set1_epi32(1023))), 52));
    const __m256i minusK = _mm256_cvtepi32_epi64(_mm_sub_epi32(_mm_setzero_si128(), k));
    const __m256d factor = timesPowerOfTen(
        timesPowerOfTen(timesPowerOfTen(timesPowerOfTen(powerOfTwo, minusK, 8, 1e8), minusK, 4, 1e4), minusK, 2, 1e2),
        minusK, 1, 1e1);
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
    const __m256d lowerTenIn = inside(sp10, low, high, even);
    const __m256d upperTenIn = inside(tp10, low, high, even);
    const __m256d lowerIn = inside(s, low, high, even);
    const __m256d upperIn = inside(t, low, high, even);
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

    // The digits scaled to nine, n = digits * 10^m, m from 0 to 8 by steps
    // of 8, 4, 2 and 1; the text's exponent is then k + 8 - m.
    __m256d nine = digits;
    __m256i m = _mm256_setzero_si256();
    scaleUp(nine, m, 8, 1e1, 1e8);
    scaleUp(nine, m, 4, 1e5, 1e4);
    scaleUp(nine, m, 2, 1e7, 1e2);
    scaleUp(nine, m, 1, 1e8, 1e1);
    const __m128i ms =
        _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(m, _mm256_setr_epi32(0, 2, 4, 6, 0, 0, 0, 0)));
    const __m128i exponent = _mm_sub_epi32(_mm_add_epi32(k, _mm_set1_epi32(8)), ms);
    std::array<std::int32_t, 4> exponents{};
    _mm_storeu_si128(static_cast<__m128i*>(static_cast<void*>(exponents.data())), exponent);
    std::array<std::array<std::uint8_t, 16>, 4> sources{};
    digitSources(nine, sources);

    for (std::size_t lane = 0; lane < 4; ++lane) {
        __m128i bytes;
        std::memcpy(&bytes, sources[lane].data(), sizeof bytes);
        // The significant digits: nine less the zeros at the end.
        const auto zeros =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('0')))) >> firstDigitByte &
            0x1FFU;
        const int significant = 32 - std::countl_zero(~zeros & 0x1FFU);
        const int x = exponents[lane];
        const int fixedLength = x >= 0 ? (significant > x + 1 ? significant + 1 : x + 1) : 1 + significant - x;
        const int exponentLength = significant + (significant > 1 ? 1 : 0) + 4;
        if (x < leastExponent || x > greatestExponent || fixedLength > exponentLength) return lane;
        const auto negative = static_cast<int>(std::bit_cast<std::uint32_t>(samples[lane]) >> 31U);
        const __m128i text = _mm_shuffle_epi8(
            bytes, _mm_loadu_si128(static_cast<const __m128i*>(
                       static_cast<const void*>(shuffles[static_cast<std::size_t>(negative) * exponentCount +
                                                         static_cast<std::size_t>(x - leastExponent)]
                                                    .data()))));
        _mm_storeu_si128(static_cast<__m128i*>(static_cast<void*>(out)), text);
        out += negative + fixedLength;
        *out++ = ',';
    }
    return 4;
}

}  // namespace

char* writeShortestCellsAvx2(char* out, std::span<const float> samples) noexcept {
    std::size_t done = 0;
    for (; done + 4 <= samples.size(); done += 4) {
        for (std::size_t i = done + writeFour(out, samples.data() + done); i < done + 4; ++i) {
            out = writeShortest(out, samples[i]);
            *out++ = ',';
        }
    }
    for (; done < samples.size(); ++done) {
        out = writeShortest(out, samples[done]);
        *out++ = ',';
    }
    return out;
}

}  // namespace gaussian_noise

#endif
