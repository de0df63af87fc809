// Decimal digits in vector lanes, for the AVX2 number text: the digits of
// an integer below 10^6 (or 10^4) in each 64-bit lane, two at a time, and
// each pair as text.
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

namespace gaussian_noise {

// Per 64-bit lane, m in the low 32 bits of n: with `three`, m < 10^6 and
// the 16-bit words 0, 1 and 2 hold its three pairs of digits, the first
// pair in word 0; without, m < 10^4 and words 0 and 1 hold m / 100 and
// m % 100. The other words are 0. Each pair from the top of a binary
// fraction of 2^32 (exact below 10^6).
[[gnu::target("avx2")]] inline __m256i pairsOf(__m256i n, bool three) noexcept {
    const __m256i hundred = _mm256_set1_epi64x(100);
    __m256i t = _mm256_mul_epu32(n, _mm256_set1_epi64x(three ? 429497 : 42949673));  // 2^32 / 10^4, / 10^2
    const __m256i first = _mm256_srli_epi64(t, 32);
    t = _mm256_mul_epu32(t, hundred);  // multiplies the low 32 bits only
    const __m256i second = _mm256_srli_epi64(t, 16);
    if (!three) return _mm256_blend_epi16(first, second, 0b0010'0010);
    t = _mm256_mul_epu32(t, hundred);
    return _mm256_blend_epi16(_mm256_blend_epi16(first, second, 0b0010'0010), t, 0b0100'0100);
}

// Each 16-bit pair p < 100 as the bytes of p / 10 and p % 10, in ASCII.
[[gnu::target("avx2")]] inline __m256i pairText(__m256i pairs) noexcept {
    const __m256i tens = _mm256_mulhi_epu16(pairs, _mm256_set1_epi16(6554));  // (p * 6554) >> 16 = p / 10
    const __m256i units = _mm256_sub_epi16(pairs, _mm256_mullo_epi16(tens, _mm256_set1_epi16(10)));
    return _mm256_add_epi8(_mm256_or_si256(tens, _mm256_slli_epi16(units, 8)), _mm256_set1_epi8('0'));
}

}  // namespace gaussian_noise

#endif
