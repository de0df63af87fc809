// The processor checks every variant list asks: one function an instruction
// set the tool's fast paths use, each false where the tool is not built for
// x86-64. Each initialises the compiler's processor model first, for it may
// be asked from a static initialiser that runs before the compiler's own.
#pragma once

#include <span>

namespace gaussian_noise::cpu {

// Every processor: for the portable variant at the head of each list.
inline bool any() noexcept { return true; }

inline bool avx2() noexcept {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return static_cast<bool>(__builtin_cpu_supports("avx2"));
#else
    return false;
#endif
}

inline bool avx2Fma() noexcept {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return static_cast<bool>(__builtin_cpu_supports("avx2")) && static_cast<bool>(__builtin_cpu_supports("fma"));
#else
    return false;
#endif
}

// AVX-512F, with AVX2 and FMA beside it.
inline bool avx512f() noexcept {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return avx2Fma() && static_cast<bool>(__builtin_cpu_supports("avx512f"));
#else
    return false;
#endif
}

// AVX-512 F and BW, with AVX2 beside them.
inline bool avx512bw() noexcept {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return avx2() && static_cast<bool>(__builtin_cpu_supports("avx512f")) &&
           static_cast<bool>(__builtin_cpu_supports("avx512bw"));
#else
    return false;
#endif
}

// The last variant of `list` whose supported() holds here: each list puts
// the portable one, which runs everywhere, first and the faster ones after.
template <class Variant>
const Variant& lastSupported(std::span<const Variant> list) noexcept {
    const Variant* chosen = list.data();
    for (const Variant& variant : list) {
        if (variant.supported()) chosen = &variant;
    }
    return *chosen;
}

}  // namespace gaussian_noise::cpu
