#include "vector_math.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(GAUSSIAN_NOISE_LIBMVEC)
#include <dlfcn.h>
#include <gnu/libc-version.h>
#include <immintrin.h>

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

// The windows by the whole 11-bit exponent field of a double result, in
// units of its last place: where no window was derived (0 and the binades no
// reachable input has), one that every result lies inside.
using Windows = std::array<std::int64_t, 2048>;
constexpr Windows byExponent(const std::array<std::uint32_t, windowCount>& windows) {
    Windows table{};
    for (std::int64_t& window : table) window = std::int64_t{1} << 28U;
    for (std::size_t key = 0; key < windowCount; ++key) {
        table[static_cast<std::size_t>(windowFirstExponent) + key] = windows[key];
    }
    return table;
}
constexpr Windows logWindows = byExponent(logfWindows);
constexpr Windows cosWindows = byExponent(cosfWindows);

// The lanes (bits 0..3) whose double result's float may not be the C
// library's: the double lies within its binade's window of the midpoint
// between two floats. The 29 bits below the float's last place are compared
// with one half of it.
[[gnu::target("avx2")]] unsigned lanesInsideWindow(__m256d results, const Windows& windows) {
    const __m256i bits = _mm256_castpd_si256(results);
    const __m256i exponent = _mm256_and_si256(_mm256_srli_epi64(bits, 52), _mm256_set1_epi64x(0x7FF));
    const __m256i window =
        _mm256_i64gather_epi64(static_cast<const long long*>(static_cast<const void*>(windows.data())), exponent, 8);
    const __m256i half = _mm256_set1_epi64x(std::int64_t{1} << 28U);
    const __m256i below = _mm256_and_si256(bits, _mm256_set1_epi64x((std::int64_t{1} << 29U) - 1));
    const __m256i outside = _mm256_or_si256(_mm256_cmpgt_epi64(_mm256_sub_epi64(below, half), window),
                                            _mm256_cmpgt_epi64(_mm256_sub_epi64(half, below), window));
    return ~static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(outside))) & 0xFU;
}

template <__m256d (*routine)(__m256d), float (*scalar)(float), const Windows& windows>
[[gnu::target("avx2,fma")]] void vectorBatch(const float* in, float* out, std::size_t count) noexcept {
    // The inputs left to the scalar function; only those counted are read.
    std::array<std::uint16_t, maxMathBatch> inside;  // NOLINT(cppcoreguidelines-pro-type-member-init)
    std::size_t insideCount = 0;
    auto keep = [&](unsigned lanes, std::size_t first) {
        for (; lanes != 0; lanes &= lanes - 1) {
            inside[insideCount++] = static_cast<std::uint16_t>(first + static_cast<unsigned>(std::countr_zero(lanes)));
        }
    };
    std::size_t first = 0;
    for (; first + 4 <= count; first += 4) {
        const __m256d results = routine(_mm256_cvtps_pd(_mm_loadu_ps(in + first)));
        _mm_storeu_ps(out + first, _mm256_cvtpd_ps(results));
        keep(lanesInsideWindow(results, windows), first);
    }
    if (first < count) {  // the last inputs, padded with ones
        const std::size_t size = count - first;
        std::array<float, 4> group{1.0F, 1.0F, 1.0F, 1.0F};
        std::memcpy(group.data(), in + first, size * sizeof(float));
        const __m256d results = routine(_mm256_cvtps_pd(_mm_loadu_ps(group.data())));
        _mm_storeu_ps(group.data(), _mm256_cvtpd_ps(results));
        std::memcpy(out + first, group.data(), size * sizeof(float));
        keep(lanesInsideWindow(results, windows) & ((1U << size) - 1), first);
    }
    for (std::size_t i = 0; i < insideCount; ++i) out[inside[i]] = scalar(in[inside[i]]);
}

float libraryLogf(float x) { return logf(x); }
float libraryCosf(float x) { return cosf(x); }

// The processor runs AVX2 and FMA, the C library is the one the windows were
// derived from, and the logf and cosf this program calls are its libm's.
bool avx2Proven() {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return false;
    if (std::strcmp(gnu_get_libc_version(), windowsLibraryVersion) != 0) return false;
    void* libm = ::dlopen("libm.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (libm == nullptr) return false;
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): dlsym gives functions as void*
    auto address = [](float (*function)(float)) { return reinterpret_cast<void*>(function); };
    const bool own = ::dlsym(libm, "logf") == address(logf) && ::dlsym(libm, "cosf") == address(cosf) &&
                     ::dlsym(RTLD_DEFAULT, "logf") == address(logf) && ::dlsym(RTLD_DEFAULT, "cosf") == address(cosf);
    ::dlclose(libm);
    return own;
}

constexpr std::array variants{
    MathVariant{
        "avx2",
        avx2Proven,
        {vectorBatch<_ZGVdN4v_log, libraryLogf, logWindows>, vectorBatch<_ZGVdN4v_cos, libraryCosf, cosWindows>}},
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

const SampleMath& chosenMath() {
    static const SampleMath& chosen = chooseMath();
    return chosen;
}

}  // namespace gaussian_noise
