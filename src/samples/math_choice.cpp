#include "samples/math_choice.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "cpu.h"
#include "samples/math_checkpoints.h"

#if defined(__x86_64__)
#include <dlfcn.h>
#include <gnu/libc-version.h>

#include "samples/vector_math.h"
#endif

namespace gaussian_noise {
namespace {

#if defined(__x86_64__)

float libraryLogf(float x) { return logf(x); }
float libraryCosf(float x) { return cosf(x); }

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
    if (!cpu::avx2Fma() || std::strcmp(gnu_get_libc_version(), provenLibraryVersion) != 0) return false;
    if (std::fegetround() != FE_TONEAREST) return false;
    return libraryOwn("libm.so.6", "logf", logf) && libraryOwn("libm.so.6", "cosf", cosf);
}

// ... and the lanes give the C library's bits on every checkpoint
// (lanesGiveTheBitsOf).
template <MathBatch log, MathBatch cos>
bool lanesGiveTheLibrarysBits() {
    return lanesGiveTheBitsOf({log, cos, vectorSamples}, libraryLogf, libraryCosf);
}
bool avx2LanesProven() { return avx2WithTheProvenLibrary() && lanesGiveTheLibrarysBits<laneLogfAvx2, laneCosfAvx2>(); }

bool avx512LanesProven() {
    return cpu::avx512f() && avx2WithTheProvenLibrary() && lanesGiveTheLibrarysBits<laneLogfAvx512, laneCosfAvx512>();
}

#endif

// Every variant, the fastest last.
#if defined(__x86_64__)
constexpr std::array variants = {
    MathVariant{"avx2-lanes", cpu::avx2Fma, avx2LanesProven, {laneLogfAvx2, laneCosfAvx2, vectorSamples}},
    MathVariant{"avx512-lanes", cpu::avx512f, avx512LanesProven, {laneLogfAvx512, laneCosfAvx512, vectorSamples}},
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

bool lanesGiveTheBitsOf(const SampleMath& math, float (*log)(float), float (*cos)(float)) noexcept {
    return sameBitsOn(math.log, log, logfCheckpoints) && sameBitsOn(math.cos, cos, cosfCheckpoints);
}

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
