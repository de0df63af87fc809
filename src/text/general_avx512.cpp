// The AVX-512 variant of writeGeneralCells: the same text as writeGeneral,
// sixteen samples at a time.
//
// As the AVX2 variant, and with its cell layout (fixed_layouts.h): per lane,
// the decimal exponent k of |x| rounded to six digits, the six digits from
// |x| * 10^(5-k) rounded in double, their text two digits at a time, and a
// layout from the sign and k; then each cell by one byte shuffle of its
// digits, '.', '0' and '-', a 16-byte store and its length. A group with a
// sample outside fixed notation (or an infinity, a not-a-number) goes
// through the AVX2 variant, which sends those samples through writeGeneral.
#include "text/number_text_variants.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "text/fixed_layouts.h"

#define GN_AVX512_TEXT gnu::target("avx512f,avx512bw")

namespace gaussian_noise {
namespace {

constexpr int lanes = 16;

// Per 64-bit lane, m < 10^6 in the low 32 bits of n: the 16-bit words 0, 1
// and 2 hold its three pairs of digits, the first pair in word 0, the others
// 0. Each pair from the top of a binary fraction of 2^32 (exact below 10^6).
[[GN_AVX512_TEXT]] inline __m512i pairsOf(__m512i n) noexcept {
    const __m512i hundred = _mm512_set1_epi64(100);
    __m512i t = _mm512_mul_epu32(n, _mm512_set1_epi64(429497));  // 2^32 / 10^4
    const __m512i first = _mm512_srli_epi64(t, 32);
    t = _mm512_mul_epu32(t, hundred);  // multiplies the low 32 bits only
    const __m512i second = _mm512_srli_epi64(t, 16);
    t = _mm512_mul_epu32(t, hundred);
    // Word 1 of each lane from `second`, word 2 from `t`.
    return _mm512_mask_blend_epi16(0x4444'4444U, _mm512_mask_blend_epi16(0x2222'2222U, first, second), t);
}

// Each 16-bit pair p < 100 as the bytes of p / 10 and p % 10, in ASCII.
[[GN_AVX512_TEXT]] inline __m512i pairText(__m512i pairs) noexcept {
    const __m512i tens = _mm512_mulhi_epu16(pairs, _mm512_set1_epi16(6554));  // (p * 6554) >> 16 = p / 10
    const __m512i units = _mm512_sub_epi16(pairs, _mm512_mullo_epi16(tens, _mm512_set1_epi16(10)));
    return _mm512_add_epi8(_mm512_or_si512(tens, _mm512_slli_epi16(units, 8)), _mm512_set1_epi8('0'));
}

// What the cells of sixteen samples need: per cell its source bytes (the
// digits, '.', then '0' and '-' from byte 8) and layout, and a byte whose
// bit i tells that digit i is 0.
struct Group {
    std::array<std::array<std::uint8_t, 16>, lanes> sources;
    std::array<std::int32_t, lanes> layouts;
    std::array<std::uint8_t, lanes> zeroDigits;
};

// Per 64-bit lane: `scaled` holds 2^52 + n, n of six digits, so its low 32
// bits are n. Puts the text of eight cells (the digits, then '.' and a zero
// byte, then "0-") into their sources, and their zero digits.
[[GN_AVX512_TEXT, gnu::always_inline]] inline void storeSources(std::uint8_t* sources, std::uint8_t* zeroDigits,
                                                                __m512d scaled) noexcept {
    const __m512i text =
        _mm512_xor_si512(pairText(pairsOf(_mm512_castpd_si512(scaled))),
                         _mm512_set1_epi64(std::int64_t{'0' ^ 0} << 56 | std::int64_t{'0' ^ '.'} << 48));
    const std::uint64_t zeros = _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8('0'));
    std::memcpy(zeroDigits, &zeros, sizeof zeros);
    // Cells 0-3 in the low halves of the 128-bit lanes of one register and
    // cells 4-7 of another, each high half "0-".
    const __m512i ordered = _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 4, 1, 5, 2, 6, 3, 7), text);
    const __m512i constants = _mm512_set1_epi64(0x2D30);
    const __m512i first = _mm512_unpacklo_epi64(ordered, constants);
    const __m512i second = _mm512_unpackhi_epi64(ordered, constants);
    std::memcpy(sources, &first, sizeof first);
    std::memcpy(sources + sizeof first, &second, sizeof second);
}

// The upper eight of sixteen floats.
[[GN_AVX512_TEXT, gnu::always_inline]] inline __m256 upper(__m512 v) noexcept {
    return _mm256_castsi256_ps(_mm512_extracti64x4_epi64(_mm512_castps_si512(v), 1));
}

// Prepares the group; false where a sample is not in fixed notation.
[[GN_AVX512_TEXT, gnu::always_inline]] inline bool prepareGroup(Group& group, const float* samples) noexcept {
    const __m512 x = _mm512_loadu_ps(samples);
    const __m512 magnitude =
        _mm512_castsi512_ps(_mm512_and_si512(_mm512_castps_si512(x), _mm512_set1_epi32(0x7FFFFFFF)));
    const __mmask16 fixed =
        _mm512_cmp_ps_mask(magnitude, _mm512_set1_ps(decimalExponentStarts[0]), _CMP_GE_OQ) &
        _mm512_cmp_ps_mask(magnitude, _mm512_set1_ps(decimalExponentStarts[fixedExponentCount]), _CMP_LT_OQ);
    if (fixed != 0xFFFF) return false;

    // k - minFixedExponent: the thresholds starts[1..9] that |x| reaches.
    __m512i steps = _mm512_setzero_si512();
    for (std::size_t i = 1; i < fixedExponentCount; ++i) {
        const __mmask16 reached = _mm512_cmp_ps_mask(magnitude, _mm512_set1_ps(decimalExponentStarts[i]), _CMP_GE_OQ);
        steps = _mm512_mask_add_epi32(steps, reached, steps, _mm512_set1_epi32(1));
    }
    // 10^(5-k) from 10^0 to 10^9, all exact in float, by one permute.
    const __m512 powers = _mm512_setr_ps(1e9F, 1e8F, 1e7F, 1e6F, 1e5F, 1e4F, 1e3F, 1e2F, 1e1F, 1e0F, 0, 0, 0, 0, 0, 0);
    const __m512 scale = _mm512_permutexvar_ps(steps, powers);
    // |x| * 10^(5-k) has at most 24 + 21 bits: exact in double. Adding 2^52
    // rounds it to an integer in the low bits, exact ties to even.
    const __m512d offset = _mm512_set1_pd(0x1p52);
    const __m512d low = _mm512_add_pd(_mm512_mul_pd(_mm512_cvtps_pd(_mm512_castps512_ps256(magnitude)),
                                                    _mm512_cvtps_pd(_mm512_castps512_ps256(scale))),
                                      offset);
    const __m512d high =
        _mm512_add_pd(_mm512_mul_pd(_mm512_cvtps_pd(upper(magnitude)), _mm512_cvtps_pd(upper(scale))), offset);
    storeSources(group.sources[0].data(), group.zeroDigits.data(), low);
    storeSources(group.sources[lanes / 2].data(), group.zeroDigits.data() + lanes / 2, high);

    // layout = (negative ? fixedExponentCount : 0) + k - minFixedExponent
    const __mmask16 negative = _mm512_cmplt_epi32_mask(_mm512_castps_si512(x), _mm512_setzero_si512());
    const __m512i layout = _mm512_mask_add_epi32(steps, negative, steps, _mm512_set1_epi32(fixedExponentCount));
    _mm512_storeu_si512(group.layouts.data(), layout);
    return true;
}

}  // namespace

[[GN_AVX512_TEXT]] char* writeGeneralCellsAvx512(char* out, std::span<const float> samples) noexcept {
    std::size_t done = 0;
    for (; done + lanes <= samples.size(); done += lanes) {
        Group group;  // NOLINT(cppcoreguidelines-pro-type-member-init): prepareGroup sets every byte read
        if (!prepareGroup(group, samples.data() + done)) {
            out = writeGeneralCellsAvx2(out, samples.subspan(done, lanes));
            continue;
        }
        for (std::size_t i = 0; i < lanes; ++i) {
            out = writeFixedCell(out, group.sources[i].data(), static_cast<std::size_t>(group.layouts[i]),
                                 group.zeroDigits[i]);
        }
    }
    // The last few samples, eight at a time and then one by one.
    return writeGeneralCellsAvx2(out, samples.subspan(done));
}

}  // namespace gaussian_noise

#endif
