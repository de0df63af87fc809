// The layout of the vector logf and cosf's windows (math_windows.h): one per
// sixteenth of a binade of the result, keyed by the double's exponent field
// and the top 4 bits of its fraction, from the exponent field
// windowFirstExponent on. A result outside them (0, or a binade no reachable
// input has) always takes the C library's scalar function.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gaussian_noise {

inline constexpr int windowFirstExponent = 1023 - 40;  // results of 2^-40 and up
inline constexpr std::size_t windowBinades = 46;       // below 2^6
inline constexpr std::size_t windowsPerBinade = 16;    // by the top 4 bits of the fraction
inline constexpr std::size_t windowCount = windowBinades * windowsPerBinade;

// The key of a positive double result's window: its exponent field and top 4
// fraction bits (the bits from windowKeyShift up, without the sign), less
// windowKeyFirst, those of 2^-40. Out of range (as an unsigned value) where
// no window covers it. The vector math computes it from the same constants.
inline constexpr unsigned windowKeyShift = 48;
inline constexpr std::uint64_t windowKeyMask = 0x7FFF;
inline constexpr std::uint64_t windowKeyFirst = std::uint64_t{windowFirstExponent} * windowsPerBinade;
static_assert(std::uint64_t{1} << (52U - windowKeyShift) == windowsPerBinade, "the fraction bits the key keeps");
constexpr std::uint64_t windowKey(std::uint64_t bits) {
    return ((bits >> windowKeyShift) & windowKeyMask) - windowKeyFirst;
}

}  // namespace gaussian_noise
