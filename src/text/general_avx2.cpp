// The AVX2 variant of writeGeneralCells: the same text as writeGeneral,
// eight samples at a time.
//
// Per lane (one sample x of eight), the vector part computes for the common
// case of fixed notation, 1e-04 <= |x| < 999999.5 after rounding:
//   k      the decimal exponent of |x| rounded to six digits, by counting the
//          thresholds decimalExponentStarts that |x| reaches;
//   digits |x| * 10^(5-k) rounded to an integer of six digits (exact in
//          double, rounded to nearest with ties to even by adding 2^52);
//   text   the six digits as bytes, two at a time from a binary fraction;
//   layout an index that combines the sign and k.
// Then each cell gets its text from one byte shuffle of its digits, '.', '0'
// and '-' chosen by the layout, a 16-byte store, the comma, and its length
// from a table indexed by the layout and its trailing zeros. Lanes outside
// fixed notation (and infinities, not-a-number) go through writeGeneral.
#include "text/number_text_variants.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "text/digits.h"
#include "text/digits_avx2.h"
#include "text/fixed_layouts.h"
#include "text/number_text.h"

namespace gaussian_noise {
namespace {

constexpr int lanes = 8;

// The thresholds decimalExponentStarts, each in all eight lanes.
struct Thresholds {
    __m256 starts[fixedExponentCount + 1];
};

[[gnu::target("avx2")]] Thresholds broadcastThresholds() {
    Thresholds thresholds{};
    for (std::size_t i = 0; i <= fixedExponentCount; ++i) {
        thresholds.starts[i] = _mm256_set1_ps(decimalExponentStarts[i]);
    }
    return thresholds;
}

// Per 64-bit lane: `scaled` holds 2^52 + n, n of six digits, so its low 32
// bits are n. Returns the digits of n as text, first digit in the lowest
// byte, then '.' and a zero byte (pairText writes "00" there).
[[gnu::target("avx2")]] __m256i digitText(__m256d scaled) {
    const __m256i text = pairText(pairsOf(_mm256_castpd_si256(scaled), true));
    return _mm256_xor_si256(text, _mm256_set1_epi64x(std::int64_t{'0' ^ 0} << 56 | std::int64_t{'0' ^ '.'} << 48));
}

// What the cells of eight samples need: per cell its source bytes (the
// digits, '.', then '0' and '-' from byte 8) and layout, and per cell a byte
// whose bit i tells that digit i is 0.
struct Group {
    std::array<std::array<std::uint8_t, 16>, lanes> sources;
    std::array<std::int32_t, lanes> layouts;
    std::array<std::uint8_t, lanes> zeroDigits;
    unsigned others;  // bit i: sample i is not in fixed notation
};

// Puts the text of four cells into their sources, and their zero digits.
[[gnu::target("avx2")]] void storeSources(std::uint8_t* sources, std::uint8_t* zeroDigits, __m256i text) {
    const auto zeros = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(text, _mm256_set1_epi8('0'))));
    std::memcpy(zeroDigits, &zeros, sizeof zeros);
    // Cells 0, 2, 1, 3 in the four 64-bit lanes, then each in the low half
    // of 16 bytes whose high half is "0-".
    const __m256i ordered = _mm256_permute4x64_epi64(text, 0b11'01'10'00);
    const __m256i constants = _mm256_set1_epi64x(0x2D30);
    const __m256i first = _mm256_unpacklo_epi64(ordered, constants);
    const __m256i second = _mm256_unpackhi_epi64(ordered, constants);
    std::memcpy(sources, &first, sizeof first);
    std::memcpy(sources + sizeof first, &second, sizeof second);
}

[[gnu::target("avx2"), gnu::always_inline]] inline void prepareGroup(Group& group, const float* samples,
                                                                     const Thresholds& thresholds) {
    const __m256 x = _mm256_loadu_ps(samples);
    const __m256 magnitude = _mm256_andnot_ps(_mm256_set1_ps(-0.0F), x);
    const __m256 fixed = _mm256_and_ps(_mm256_cmp_ps(magnitude, thresholds.starts[0], _CMP_GE_OQ),
                                       _mm256_cmp_ps(magnitude, thresholds.starts[fixedExponentCount], _CMP_LT_OQ));
    group.others = ~static_cast<unsigned>(_mm256_movemask_ps(fixed)) & 0xFF;

    // Each reached threshold adds -1: exponentSteps = -(k - minFixedExponent).
    __m256i exponentSteps = _mm256_setzero_si256();
    for (std::size_t i = 1; i < fixedExponentCount; ++i) {
        const __m256 reached = _mm256_cmp_ps(magnitude, thresholds.starts[i], _CMP_GE_OQ);
        exponentSteps = _mm256_add_epi32(exponentSteps, _mm256_castps_si256(reached));
    }
    // 10^(5-k) from 10^0 to 10^9, all exact in float.
    const __m256i power = _mm256_add_epi32(exponentSteps, _mm256_set1_epi32(5 - minFixedExponent));
    const __m256 lowPowers = _mm256_setr_ps(1e0F, 1e1F, 1e2F, 1e3F, 1e4F, 1e5F, 1e6F, 1e7F);
    const __m256 highPowers = _mm256_setr_ps(1e8F, 1e9F, 0, 0, 0, 0, 0, 0);
    const __m256 scale =
        _mm256_blendv_ps(_mm256_permutevar8x32_ps(lowPowers, power), _mm256_permutevar8x32_ps(highPowers, power),
                         _mm256_castsi256_ps(_mm256_cmpgt_epi32(power, _mm256_set1_epi32(7))));
    // |x| * 10^(5-k) has at most 24 + 21 bits: exact in double. Adding 2^52
    // rounds it to an integer in the low bits, exact ties to even.
    const __m256d offset = _mm256_set1_pd(0x1p52);
    const __m256d low = _mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(magnitude)),
                                                    _mm256_cvtps_pd(_mm256_castps256_ps128(scale))),
                                      offset);
    const __m256d high = _mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(magnitude, 1)),
                                                     _mm256_cvtps_pd(_mm256_extractf128_ps(scale, 1))),
                                       offset);
    storeSources(group.sources[0].data(), group.zeroDigits.data(), digitText(low));
    storeSources(group.sources[lanes / 2].data(), group.zeroDigits.data() + lanes / 2, digitText(high));

    // layout = (negative ? fixedExponentCount : 0) + k - minFixedExponent
    const __m256i negative = _mm256_srai_epi32(_mm256_castps_si256(x), 31);
    const __m256i layout =
        _mm256_sub_epi32(_mm256_and_si256(negative, _mm256_set1_epi32(fixedExponentCount)), exponentSteps);
    std::memcpy(group.layouts.data(), &layout, sizeof layout);
}

// Writes cell i of the group in fixed notation, and its comma.
[[gnu::target("avx2"), gnu::always_inline]] inline char* writeGroupCell(char* out, const Group& group, std::size_t i) {
    return writeFixedCell(out, group.sources[i].data(), static_cast<std::size_t>(group.layouts[i]),
                          group.zeroDigits[i]);
}

// Writes the cells of the first `count` of eight samples.
[[gnu::target("avx2")]] char* writeGroup(char* out, const float* samples, int count, const Thresholds& thresholds) {
    Group group{};
    prepareGroup(group, samples, thresholds);
    const auto cells = static_cast<std::size_t>(count);
    if (group.others == 0) {
        for (std::size_t i = 0; i < cells; ++i) out = writeGroupCell(out, group, i);
        return out;
    }
    for (std::size_t i = 0; i < cells; ++i) {
        if (((group.others >> i) & 1) != 0) {
            out = writeGeneralCell(out, samples[i]);
        } else {
            out = writeGroupCell(out, group, i);
        }
    }
    return out;
}

}  // namespace

[[gnu::target("avx2")]] char* writeGeneralCellsAvx2(char* out, std::span<const float> samples) noexcept {
    const Thresholds thresholds = broadcastThresholds();
    std::size_t done = 0;
    for (; done + lanes <= samples.size(); done += lanes) {
        out = writeGroup(out, samples.data() + done, lanes, thresholds);
    }
    if (done < samples.size()) {
        // The last few samples, padded with ones that are never written.
        std::array<float, lanes> padded{1, 1, 1, 1, 1, 1, 1, 1};
        std::copy(samples.begin() + static_cast<std::ptrdiff_t>(done), samples.end(), padded.begin());
        out = writeGroup(out, padded.data(), static_cast<int>(samples.size() - done), thresholds);
    }
    return out;
}

}  // namespace gaussian_noise

#endif
