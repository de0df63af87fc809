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
// fraction bits, less those of 2^-40. Out of range (as an unsigned value)
// where no window covers it.
constexpr std::uint64_t windowKey(std::uint64_t bits) {
    return ((bits >> 48U) & 0x7FFFU) - std::uint64_t{windowFirstExponent} * windowsPerBinade;
}

}  // namespace gaussian_noise
