#include "samples/math_choice.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

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

// The processor runs AVX2 and FMA; the C library is of a version whose
// logf and cosf are those the vector math gives the bits of; the logf and cosf this program calls are its
// libm's; and the rounding is to nearest, which the proofs were made in (a
// preloaded library may have set another).
bool avx2WithTheProvenLibrary() {
    if (!cpu::avx2Fma() || !provenLibraryVersion(gnu_get_libc_version())) return false;
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

bool provenLibraryVersion(std::string_view version) noexcept {
    // "MAJOR.MINOR", each a whole number, and nothing after them but a
    // further ".PATCH" part.
    unsigned major = 0;
    unsigned minor = 0;
    const char* const end = version.data() + version.size();
    const auto [afterMajor, majorError] = std::from_chars(version.data(), end, major);
    if (majorError != std::errc{} || afterMajor == end || *afterMajor != '.') return false;
    const auto [afterMinor, minorError] = std::from_chars(afterMajor + 1, end, minor);
    if (minorError != std::errc{} || (afterMinor != end && *afterMinor != '.')) return false;
    return major == 2 && minor >= 29 && minor <= 43;
}

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
