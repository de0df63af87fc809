// logf and cosf as the C library computes them, four lanes at a time with
// AVX2 and FMA, eight with AVX-512.
//
// glibc 2.36 takes its logf and cosf from Arm's optimized-routines
// (sysdeps/ieee754/flt-32/e_logf.c, e_logf_data.c, s_cosf.c, s_sincosf.h,
// sincosf_poly.h and s_sincosf_data.c), and on a processor with AVX2 and FMA
// it runs builds of them compiled for FMA: each is a short, fixed sequence
// of double-precision operations on constants and a small table, every
// a * b + c of the source a fused multiply-add. The same operations on each
// lane of a vector give the same bits by construction: IEEE 754 rounds each
// operation alike wherever it runs. The constants below are those files'.
//
// Only the inputs the generator can give need this path, which leaves out
// every branch of the C library's that handles other inputs:
// - logf: u1 = float(draw / 2147483647) for a draw of 1 .. 2^31-1, a normal
//   float in [4.66e-10, 1], never 0, negative, subnormal, infinite or NaN.
//   logf(1) is the one special case of that range, and the sequence below
//   gives it the same +0.
// - cosf: theta = tau * u2 in [0, 6.2831855], below 120, so the quadrant
//   comes from the one-step reduction; the C library's branch for |x| below
//   0.75 (its pi/4 test compares the top 12 bits) takes the cosine
//   polynomial of x unreduced, which the reduction gives too (quadrant 0,
//   x - 0 * pi/2 = x exactly); and its answer of 1 below 2^-12 is what the
//   polynomial rounds to there.
// The tests check every one of those inputs against the C library's scalar
// functions, bit for bit.
#include "samples/vector_math.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace gaussian_noise {
namespace {

// --- logf ------------------------------------------------------------------

// x = 2^k z with z in [0x1.66p-1, 0x1.66p0): 16 subintervals of z by its top
// mantissa bits, each with 1/c and log(c) for a c near its centre.
constexpr std::uint32_t logfOffset = 0x3f330000;
constexpr std::array<double, 16> logfInverseC = {
    0x1.661ec79f8f3bep+0, 0x1.571ed4aaf883dp+0, 0x1.49539f0f010bp+0,  0x1.3c995b0b80385p+0, 0x1.30d190c8864a5p+0,
    0x1.25e227b0b8eap+0,  0x1.1bb4a4a1a343fp+0, 0x1.12358f08ae5bap+0, 0x1.0953f419900a7p+0, 0x1p+0,
    0x1.e608cfd9a47acp-1, 0x1.ca4b31f026aap-1,  0x1.b2036576afce6p-1, 0x1.9c2d163a1aa2dp-1, 0x1.886e6037841edp-1,
    0x1.767dcf5534862p-1,
};
constexpr std::array<double, 16> logfLogC = {
    -0x1.57bf7808caadep-2, -0x1.2bef0a7c06ddbp-2, -0x1.01eae7f513a67p-2, -0x1.b31d8a68224e9p-3, -0x1.6574f0ac07758p-3,
    -0x1.1aa2bc79c81p-3,   -0x1.a4e76ce8c0e5ep-4, -0x1.1973c5a611cccp-4, -0x1.252f438e10c1ep-5, 0x0p+0,
    0x1.aa5aa5df25984p-5,  0x1.c5e53aa362eb4p-4,  0x1.526e57720db08p-3,  0x1.bc2860d22477p-3,   0x1.1058bc8a07ee1p-2,
    0x1.4043057b6ee09p-2,
};
constexpr double logfLn2 = 0x1.62e42fefa39efp-1;
// log1p(r) ~ r + a0 r^2 + a1 r^3 + a2 r^4.
constexpr double logfA0 = -0x1.00ea348b88334p-2;
constexpr double logfA1 = 0x1.5575b0be00b6ap-2;
constexpr double logfA2 = -0x1.ffffef20a4123p-2;

[[gnu::target("avx2,fma")]] __m128 logf4(__m128 x) noexcept {
    const __m128i ix = _mm_castps_si128(x);
    const __m128i tmp = _mm_sub_epi32(ix, _mm_set1_epi32(static_cast<int>(logfOffset)));
    const __m128i i = _mm_and_si128(_mm_srli_epi32(tmp, 19), _mm_set1_epi32(15));
    const __m128i k = _mm_srai_epi32(tmp, 23);
    const __m128i iz = _mm_sub_epi32(ix, _mm_and_si128(tmp, _mm_set1_epi32(static_cast<int>(0xff800000U))));
    const __m256d z = _mm256_cvtps_pd(_mm_castsi128_ps(iz));
    const __m256d inverseC = _mm256_i32gather_pd(logfInverseC.data(), i, 8);
    const __m256d logC = _mm256_i32gather_pd(logfLogC.data(), i, 8);
    // log(x) = log1p(z/c - 1) + log(c) + k ln2.
    const __m256d r = _mm256_fmsub_pd(z, inverseC, _mm256_set1_pd(1.0));
    const __m256d y0 = _mm256_fmadd_pd(_mm256_cvtepi32_pd(k), _mm256_set1_pd(logfLn2), logC);
    const __m256d r2 = _mm256_mul_pd(r, r);
    __m256d y = _mm256_fmadd_pd(_mm256_set1_pd(logfA1), r, _mm256_set1_pd(logfA2));
    y = _mm256_fmadd_pd(_mm256_set1_pd(logfA0), r2, y);
    y = _mm256_fmadd_pd(y, r2, _mm256_add_pd(y0, r));
    return _mm256_cvtpd_ps(y);
}

// --- cosf ------------------------------------------------------------------

// The quadrant n comes from x * (2/pi) scaled by 2^24, rounded by adding
// half a quadrant to its integer part; the reduced x is x - n pi/2 in [-pi/4, pi/4].
constexpr double cosfTwoOverPiScaled = 0x1.45F306DC9C883p+23;
constexpr double cosfHalfPi = 0x1.921FB54442D18p0;
// cos(x) ~ c0 + c1 x^2 + ... + c4 x^8 and sin(x) ~ x + s1 x^3 + s2 x^5 + s3 x^7.
constexpr double cosfC0 = 0x1p0;
constexpr double cosfC1 = -0x1.ffffffd0c621cp-2;
constexpr double cosfC2 = 0x1.55553e1068f19p-5;
constexpr double cosfC3 = -0x1.6c087e89a359dp-10;
constexpr double cosfC4 = 0x1.99343027bf8c3p-16;
constexpr double cosfS1 = -0x1.555545995a603p-3;
constexpr double cosfS2 = 0x1.1107605230bc4p-7;
constexpr double cosfS3 = -0x1.994eb3774cf24p-13;

// Each lane's 32-bit `bits` moved to the top of its 64-bit lane: a sign bit
// to flip a double with, or a mask for a blend.
[[gnu::target("avx2")]] __m256i topBits(__m128i bits, int shift) noexcept {
    return _mm256_slli_epi64(_mm256_cvtepi32_epi64(bits), shift);
}

[[gnu::target("avx2,fma")]] __m128 cosf4(__m128 theta) noexcept {
    const __m256d x = _mm256_cvtps_pd(theta);
    const __m128i truncated = _mm256_cvttpd_epi32(_mm256_mul_pd(x, _mm256_set1_pd(cosfTwoOverPiScaled)));
    const __m128i n = _mm_srai_epi32(_mm_add_epi32(truncated, _mm_set1_epi32(0x800000)), 24);
    const __m256d reduced = _mm256_fnmadd_pd(_mm256_cvtepi32_pd(n), _mm256_set1_pd(cosfHalfPi), x);
    const __m256d x2 = _mm256_mul_pd(reduced, reduced);

    // Quadrants 0 and 2: the cosine polynomial, negated in quadrant 2 (the
    // C library negates its coefficients there: the same bits, negated).
    const __m256d x4 = _mm256_mul_pd(x2, x2);
    const __m256d c2 = _mm256_fmadd_pd(x2, _mm256_set1_pd(cosfC4), _mm256_set1_pd(cosfC3));
    const __m256d c1 = _mm256_fmadd_pd(x2, _mm256_set1_pd(cosfC1), _mm256_set1_pd(cosfC0));
    const __m256d x6 = _mm256_mul_pd(x4, x2);
    const __m256d c = _mm256_fmadd_pd(x4, _mm256_set1_pd(cosfC2), c1);
    const __m256i signBit = _mm256_set1_epi64x(static_cast<long long>(0x8000000000000000ULL));
    const __m256d cosine =
        _mm256_xor_pd(_mm256_fmadd_pd(x6, c2, c), _mm256_castsi256_pd(_mm256_and_si256(topBits(n, 62), signBit)));

    // Quadrants 1 and 3: the sine polynomial of x, negated first in quadrant 1.
    const __m128i sineNegated = _mm_add_epi32(n, _mm_set1_epi32(1));  // bit 1 set for quadrants 1 and 2
    const __m256d xs = _mm256_xor_pd(reduced, _mm256_castsi256_pd(_mm256_and_si256(topBits(sineNegated, 62), signBit)));
    const __m256d x3 = _mm256_mul_pd(xs, x2);
    const __m256d s1 = _mm256_fmadd_pd(x2, _mm256_set1_pd(cosfS3), _mm256_set1_pd(cosfS2));
    const __m256d x7 = _mm256_mul_pd(x3, x2);
    const __m256d s = _mm256_fmadd_pd(x3, _mm256_set1_pd(cosfS1), xs);
    const __m256d sine = _mm256_fmadd_pd(x7, s1, s);

    const __m256d odd = _mm256_castsi256_pd(topBits(n, 63));
    return _mm256_cvtpd_ps(_mm256_blendv_pd(cosine, sine, odd));
}

// out[i] = f(in[i]) for i < count, four at a time; the last group padded with `pad`.
template <__m128 (*function)(__m128) noexcept, int padBits>
[[gnu::target("avx2,fma")]] void batch(const float* in, float* out, std::size_t count) noexcept {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) _mm_storeu_ps(out + i, function(_mm_loadu_ps(in + i)));
    if (i < count) {
        std::array<float, 4> group{};
        group.fill(std::bit_cast<float>(padBits));
        std::memcpy(group.data(), in + i, (count - i) * sizeof(float));
        _mm_storeu_ps(group.data(), function(_mm_loadu_ps(group.data())));
        std::memcpy(out + i, group.data(), (count - i) * sizeof(float));
    }
}

// --- The same, eight lanes at a time with AVX-512 ---------------------------

// The table's 16 rows in two registers of eight, looked up by a permute.
struct Table16 {
    __m512d low;
    __m512d high;
};
[[gnu::target("avx512f")]] Table16 tableOf16(const std::array<double, 16>& rows) noexcept {
    return {_mm512_loadu_pd(rows.data()), _mm512_loadu_pd(rows.data() + 8)};
}

[[gnu::target("avx512f")]] __m256 logf8(__m256 x) noexcept {
    static const Table16 inverseCs = tableOf16(logfInverseC);
    static const Table16 logCs = tableOf16(logfLogC);
    const __m256i ix = _mm256_castps_si256(x);
    const __m256i tmp = _mm256_sub_epi32(ix, _mm256_set1_epi32(static_cast<int>(logfOffset)));
    const __m512i i = _mm512_cvtepi32_epi64(_mm256_and_si256(_mm256_srli_epi32(tmp, 19), _mm256_set1_epi32(15)));
    const __m256i k = _mm256_srai_epi32(tmp, 23);
    const __m256i iz = _mm256_sub_epi32(ix, _mm256_and_si256(tmp, _mm256_set1_epi32(static_cast<int>(0xff800000U))));
    const __m512d z = _mm512_cvtps_pd(_mm256_castsi256_ps(iz));
    const __m512d inverseC = _mm512_permutex2var_pd(inverseCs.low, i, inverseCs.high);
    const __m512d logC = _mm512_permutex2var_pd(logCs.low, i, logCs.high);
    const __m512d r = _mm512_fmsub_pd(z, inverseC, _mm512_set1_pd(1.0));
    const __m512d y0 = _mm512_fmadd_pd(_mm512_cvtepi32_pd(k), _mm512_set1_pd(logfLn2), logC);
    const __m512d r2 = _mm512_mul_pd(r, r);
    __m512d y = _mm512_fmadd_pd(_mm512_set1_pd(logfA1), r, _mm512_set1_pd(logfA2));
    y = _mm512_fmadd_pd(_mm512_set1_pd(logfA0), r2, y);
    y = _mm512_fmadd_pd(y, r2, _mm512_add_pd(y0, r));
    return _mm512_cvtpd_ps(y);
}

// Each lane's bit 1 of `n` moved to the sign of its double.
[[gnu::target("avx512f")]] __m512i signFromBit1(__m256i n) noexcept {
    return _mm512_and_si512(_mm512_slli_epi64(_mm512_cvtepi32_epi64(n), 62),
                            _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ULL)));
}

[[gnu::target("avx512f")]] __m256 cosf8(__m256 theta) noexcept {
    const __m512d x = _mm512_cvtps_pd(theta);
    const __m256i truncated = _mm512_cvttpd_epi32(_mm512_mul_pd(x, _mm512_set1_pd(cosfTwoOverPiScaled)));
    const __m256i n = _mm256_srai_epi32(_mm256_add_epi32(truncated, _mm256_set1_epi32(0x800000)), 24);
    const __m512d reduced = _mm512_fnmadd_pd(_mm512_cvtepi32_pd(n), _mm512_set1_pd(cosfHalfPi), x);
    const __m512d x2 = _mm512_mul_pd(reduced, reduced);

    const __m512d x4 = _mm512_mul_pd(x2, x2);
    const __m512d c2 = _mm512_fmadd_pd(x2, _mm512_set1_pd(cosfC4), _mm512_set1_pd(cosfC3));
    const __m512d c1 = _mm512_fmadd_pd(x2, _mm512_set1_pd(cosfC1), _mm512_set1_pd(cosfC0));
    const __m512d x6 = _mm512_mul_pd(x4, x2);
    const __m512d c = _mm512_fmadd_pd(x4, _mm512_set1_pd(cosfC2), c1);
    const __m512d cosine =
        _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(_mm512_fmadd_pd(x6, c2, c)), signFromBit1(n)));

    const __m256i sineNegated = _mm256_add_epi32(n, _mm256_set1_epi32(1));
    const __m512d xs = _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(reduced), signFromBit1(sineNegated)));
    const __m512d x3 = _mm512_mul_pd(xs, x2);
    const __m512d s1 = _mm512_fmadd_pd(x2, _mm512_set1_pd(cosfS3), _mm512_set1_pd(cosfS2));
    const __m512d x7 = _mm512_mul_pd(x3, x2);
    const __m512d s = _mm512_fmadd_pd(x3, _mm512_set1_pd(cosfS1), xs);
    const __m512d sine = _mm512_fmadd_pd(x7, s1, s);

    const __mmask8 odd = _mm512_test_epi64_mask(_mm512_cvtepi32_epi64(n), _mm512_set1_epi64(1));
    return _mm512_cvtpd_ps(_mm512_mask_blend_pd(odd, cosine, sine));
}

template <__m256 (*function)(__m256) noexcept, int padBits>
[[gnu::target("avx512f")]] void batch8(const float* in, float* out, std::size_t count) noexcept {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) _mm256_storeu_ps(out + i, function(_mm256_loadu_ps(in + i)));
    if (i < count) {
        std::array<float, 8> group{};
        group.fill(std::bit_cast<float>(padBits));
        std::memcpy(group.data(), in + i, (count - i) * sizeof(float));
        _mm256_storeu_ps(group.data(), function(_mm256_loadu_ps(group.data())));
        std::memcpy(out + i, group.data(), (count - i) * sizeof(float));
    }
}

}  // namespace

void laneLogfAvx512(const float* in, float* out, std::size_t count) noexcept {
    batch8<logf8, 0x3f800000>(in, out, count);  // padded with 1
}

void laneCosfAvx512(const float* in, float* out, std::size_t count) noexcept {
    batch8<cosf8, 0>(in, out, count);  // padded with 0
}

void laneLogfAvx2(const float* in, float* out, std::size_t count) noexcept {
    batch<logf4, 0x3f800000>(in, out, count);  // padded with 1
}

void laneCosfAvx2(const float* in, float* out, std::size_t count) noexcept {
    batch<cosf4, 0>(in, out, count);  // padded with 0
}

// --- the last steps of the samples -------------------------------------------

// The last steps of the arithmetic four samples at a time, each operation
// the one the scalar arithmetic states, at its precision (and no fused
// multiply-add: the build contracts nothing); the last few samples by the
// scalar arithmetic itself.
[[gnu::target("avx2,fma")]] void vectorSamples(Distribution distribution, const float* logarithms, const float* cosines,
                                               float* samples, std::size_t count) noexcept {
    const auto [mean, variance] = distribution;
    const __m128 means = _mm_set1_ps(mean);
    const __m128 deviations = _mm_set1_ps(sqrtf(variance));
    const __m128 newNaN = _mm_set1_ps(-std::numeric_limits<float>::quiet_NaN());
    const bool meanIsNaN = std::isnan(mean);
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256d radius =
            _mm256_sqrt_pd(_mm256_mul_pd(_mm256_set1_pd(-2.0), _mm256_cvtps_pd(_mm_loadu_ps(logarithms + i))));
        const __m128 z0 = _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(cosines + i)), radius));
        const __m128 product = _mm_mul_ps(deviations, z0);
        const __m128 sample = _mm_add_ps(means, product);
        // A NaN the last step made gets the sign bit, as in the scalar arithmetic.
        const __m128 made = meanIsNaN ? _mm_cmpunord_ps(product, product) : _mm_cmpunord_ps(sample, sample);
        _mm_storeu_ps(samples + i, _mm_blendv_ps(sample, newNaN, made));
    }
    scalarSamples(distribution, logarithms + i, cosines + i, samples + i, count - i);
}

}  // namespace gaussian_noise
#endif
