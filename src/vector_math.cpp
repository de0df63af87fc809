#include "vector_math.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#if defined(__x86_64__)
#include <dlfcn.h>
#include <gnu/libc-version.h>
#include <immintrin.h>

#include "math_checkpoints.h"
#endif

#if defined(__x86_64__) && defined(GAUSSIAN_NOISE_LIBMVEC)
#include "math_windows.h"

// The C library's vector log and cos of four doubles (libmvec, the AVX2 variant).
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the library's names
extern "C" __m256d _ZGVdN4v_log(__m256d x);
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" __m256d _ZGVdN4v_cos(__m256d x);
#endif

namespace gaussian_noise {
namespace {

#if defined(__x86_64__) && defined(GAUSSIAN_NOISE_LIBMVEC)

using Windows = std::array<std::uint32_t, windowCount>;

// The lanes (bits 0..3) whose double result's float may not be the C
// library's: the double lies within its window of the midpoint between two
// floats, or no window covers it. The 29 bits below the float's last place
// are compared with one half of it.
[[gnu::target("avx2")]] unsigned lanesInsideWindow(__m256d results, const Windows& windows) {
    const __m256i bits = _mm256_castpd_si256(results);
    // windowKey, four at a time.
    const __m256i key = _mm256_sub_epi64(
        _mm256_and_si256(_mm256_srli_epi64(bits, windowKeyShift), _mm256_set1_epi64x(std::int64_t{windowKeyMask})),
        _mm256_set1_epi64x(std::int64_t{windowKeyFirst}));
    const __m256i covered =
        _mm256_and_si256(_mm256_cmpgt_epi64(key, _mm256_set1_epi64x(-1)),
                         _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<std::int64_t>(windowCount)), key));
    // Each lane's mask in the low 32 bits of its 64, gathered to four 32-bit lanes.
    const __m128i gatherMask =
        _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(covered, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)));
    const __m256i window = _mm256_cvtepu32_epi64(_mm256_mask_i64gather_epi32(
        _mm_setzero_si128(), static_cast<const int*>(static_cast<const void*>(windows.data())), key, gatherMask, 4));
    const __m256i half = _mm256_set1_epi64x(std::int64_t{1} << 28U);
    const __m256i below = _mm256_and_si256(bits, _mm256_set1_epi64x((std::int64_t{1} << 29U) - 1));
    const __m256i outside = _mm256_or_si256(_mm256_cmpgt_epi64(_mm256_sub_epi64(below, half), window),
                                            _mm256_cmpgt_epi64(_mm256_sub_epi64(half, below), window));
    const __m256i certain = _mm256_and_si256(outside, covered);
    return ~static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(certain))) & 0xFU;
}

// For each set of lanes (bits 0..3), their numbers in order, packed first.
constexpr std::array<std::array<std::uint16_t, 4>, 16> packedLanes = [] {
    std::array<std::array<std::uint16_t, 4>, 16> table{};
    for (unsigned lanes = 0; lanes < 16; ++lanes) {
        std::size_t next = 0;
        for (std::uint16_t lane = 0; lane < 4; ++lane) {
            if (((lanes >> lane) & 1U) != 0) table[lanes][next++] = lane;
        }
    }
    return table;
}();

template <__m256d (*routine)(__m256d), float (*scalar)(float), const Windows& windows>
[[gnu::target("avx2,fma")]] void vectorBatch(const float* in, float* out, std::size_t count) noexcept {
    // The double results of the whole batch first, the last group padded
    // with ones; then their floats and window tests, whose iterations do not
    // wait on one another. Only the elements counted are read.
    constexpr std::size_t lanes = 4;
    std::array<double, maxMathBatch + lanes> results;  // NOLINT(cppcoreguidelines-pro-type-member-init)
    const std::size_t whole = count - count % lanes;
    for (std::size_t first = 0; first < whole; first += lanes) {
        _mm256_storeu_pd(results.data() + first, routine(_mm256_cvtps_pd(_mm_loadu_ps(in + first))));
    }
    if (whole < count) {
        std::array<float, lanes> group{1.0F, 1.0F, 1.0F, 1.0F};
        std::memcpy(group.data(), in + whole, (count - whole) * sizeof(float));
        _mm256_storeu_pd(results.data() + whole, routine(_mm256_cvtps_pd(_mm_loadu_ps(group.data()))));
    }

    std::array<std::uint16_t, maxMathBatch + lanes> inside;  // NOLINT(cppcoreguidelines-pro-type-member-init)
    std::size_t insideCount = 0;
    for (std::size_t first = 0; first < count; first += lanes) {
        const __m256d group = _mm256_loadu_pd(results.data() + first);
        unsigned lanesInside = lanesInsideWindow(group, windows);
        if (first + lanes <= count) {
            _mm_storeu_ps(out + first, _mm256_cvtpd_ps(group));
        } else {
            std::array<float, lanes> floats{};
            _mm_storeu_ps(floats.data(), _mm256_cvtpd_ps(group));
            std::memcpy(out + first, floats.data(), (count - first) * sizeof(float));
            lanesInside &= (1U << (count - first)) - 1;
        }
        // The inputs left to the scalar function, without a branch: all four
        // places are written, and as many as are inside counted.
        for (std::size_t lane = 0; lane < lanes; ++lane) {
            inside[insideCount + lane] = static_cast<std::uint16_t>(first + packedLanes[lanesInside][lane]);
        }
        insideCount += static_cast<std::size_t>(std::popcount(lanesInside));
    }
    for (std::size_t i = 0; i < insideCount; ++i) out[inside[i]] = scalar(in[inside[i]]);
}

#endif

#if defined(__x86_64__)

float libraryLogf(float x) { return logf(x); }
float libraryCosf(float x) { return cosf(x); }

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

// Whether `name` in the loaded library `library` is `function`, and so is
// the name the process resolves: neither replaced at link nor at load time.
template <class Function>
bool libraryOwn(const char* library, const char* name, Function* function) {
    void* handle = ::dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): dlsym gives functions as void*
    void* const address = reinterpret_cast<void*>(function);
    const bool own = ::dlsym(handle, name) == address && ::dlsym(RTLD_DEFAULT, name) == address;
    ::dlclose(handle);
    return own;
}

// The C library whose logf and cosf the vector math gives the bits of.
constexpr const char* provenLibraryVersion = "2.36";

// The processor runs AVX2 and FMA; the C library is the version the vector
// math was proven against; the logf and cosf this program calls are its
// libm's; and the rounding is to nearest, which the proofs were made in (a
// preloaded library may have set another).
bool avx2WithTheProvenLibrary() {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return false;
    if (std::strcmp(gnu_get_libc_version(), provenLibraryVersion) != 0) return false;
    if (std::fegetround() != FE_TONEAREST) return false;
    return libraryOwn("libm.so.6", "logf", logf) && libraryOwn("libm.so.6", "cosf", cosf);
}

// ... and the lanes give the C library's bits on every checkpoint, where a
// C library computed otherwise would differ first: some 3,000 inputs,
// tens of microseconds.
bool lanesProven() {
    return avx2WithTheProvenLibrary() && sameBitsOn(laneLogfAvx2, libraryLogf, logfCheckpoints) &&
           sameBitsOn(laneCosfAvx2, libraryCosf, cosfCheckpoints);
}

#endif

#if defined(__x86_64__) && defined(GAUSSIAN_NOISE_LIBMVEC)
// ... and the vector log and cos are libmvec's own, of the version the windows were derived from.
bool libmvecProven() {
    static_assert(std::string_view(windowsLibraryVersion) == std::string_view(provenLibraryVersion));
    return avx2WithTheProvenLibrary() && libraryOwn("libmvec.so.1", "_ZGVdN4v_log", _ZGVdN4v_log) &&
           libraryOwn("libmvec.so.1", "_ZGVdN4v_cos", _ZGVdN4v_cos);
}
#endif

// Every variant, the fastest last.
#if defined(__x86_64__)
constexpr std::array variants = {
#if defined(GAUSSIAN_NOISE_LIBMVEC)
    MathVariant{"avx2-libmvec",
                libmvecProven,
                {vectorBatch<_ZGVdN4v_log, libraryLogf, logfWindows>,
                 vectorBatch<_ZGVdN4v_cos, libraryCosf, cosfWindows>, vectorSamples}},
#endif
    MathVariant{"avx2-lanes", lanesProven, {laneLogfAvx2, laneCosfAvx2, vectorSamples}},
};
#else
constexpr std::array<MathVariant, 0> variants{};
#endif

const SampleMath& chooseMath() {
    const SampleMath* chosen = &scalarMath;
    // cppcheck-suppress knownEmptyContainer ; empty where no vector math is built in
    for (const MathVariant& variant : variants) {
        if (variant.supported()) chosen = &variant.math;
    }
    return *chosen;
}

}  // namespace

std::span<const MathVariant> mathVariants() { return variants; }

bool sameBitsOn(MathBatch batch, float (*scalar)(float), std::span<const std::uint32_t> inputs) noexcept {
    std::array<float, maxMathBatch> in{};
    std::array<float, maxMathBatch> out{};
    while (!inputs.empty()) {
        const std::size_t count = std::min(inputs.size(), maxMathBatch);
        std::transform(inputs.begin(), inputs.begin() + static_cast<std::ptrdiff_t>(count), in.begin(),
                       [](std::uint32_t bits) { return std::bit_cast<float>(bits); });
        batch(in.data(), out.data(), count);
        for (std::size_t i = 0; i < count; ++i) {
            if (std::bit_cast<std::uint32_t>(out[i]) != std::bit_cast<std::uint32_t>(scalar(in[i]))) return false;
        }
        inputs = inputs.subspan(count);
    }
    return true;
}

const SampleMath& chosenMath() {
    static const SampleMath& chosen = chooseMath();
    return chosen;
}

}  // namespace gaussian_noise
