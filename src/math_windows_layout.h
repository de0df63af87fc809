// The layout of the vector logf and cosf's windows (math_windows.h): one per
// binade of the result, from the double exponent field windowFirstExponent on.
// A result outside them (0, or a binade no reachable input has) always takes
// the C library's scalar function.
#pragma once

#include <cstddef>

namespace gaussian_noise {

inline constexpr int windowFirstExponent = 1023 - 40;  // results of 2^-40 and up
inline constexpr std::size_t windowCount = 46;         // below 2^6

}  // namespace gaussian_noise
