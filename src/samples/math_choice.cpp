#include "samples/math_choice.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__x86_64__)
#include <dlfcn.h>
#include <gnu/libc-version.h>
#include <immintrin.h>

#include "samples/math_checkpoints.h"
#endif

namespace gaussian_noise {
namespace {

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

bool avx2AndFma() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

// The processor runs AVX2 and FMA; the C library is the version the vector
// math was proven against; the logf and cosf this program calls are its
// libm's; and the rounding is to nearest, which the proofs were made in (a
// preloaded library may have set another).
bool avx2WithTheProvenLibrary() {
    if (!avx2AndFma() || std::strcmp(gnu_get_libc_version(), provenLibraryVersion) != 0) return false;
    if (std::fegetround() != FE_TONEAREST) return false;
    return libraryOwn("libm.so.6", "logf", logf) && libraryOwn("libm.so.6", "cosf", cosf);
}

// ... and the lanes give the C library's bits on every checkpoint, where a
// C library computed otherwise would differ first: some 3,000 inputs,
// tens of microseconds.
template <MathBatch log, MathBatch cos>
bool lanesGiveTheLibrarysBits() {
    return sameBitsOn(log, libraryLogf, logfCheckpoints) && sameBitsOn(cos, libraryCosf, cosfCheckpoints);
}
bool avx2LanesProven() { return avx2WithTheProvenLibrary() && lanesGiveTheLibrarysBits<laneLogfAvx2, laneCosfAvx2>(); }

bool avx512() {
    __builtin_cpu_init();
    return avx2AndFma() && __builtin_cpu_supports("avx512f");
}
bool avx512LanesProven() {
    return avx512() && avx2WithTheProvenLibrary() && lanesGiveTheLibrarysBits<laneLogfAvx512, laneCosfAvx512>();
}

#endif

// Every variant, the fastest last.
#if defined(__x86_64__)
constexpr std::array variants = {
    MathVariant{"avx2-lanes", avx2AndFma, avx2LanesProven, {laneLogfAvx2, laneCosfAvx2, vectorSamples}},
    MathVariant{"avx512-lanes", avx512, avx512LanesProven, {laneLogfAvx512, laneCosfAvx512, vectorSamples}},
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
