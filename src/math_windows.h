// Written by tools/math_windows.cpp from the logf and cosf of the C library 2.36;
// do not edit. Per binade of a result (double exponent field 983 and up), the
// distance from a float midpoint, in units of the double's last place, within
// which the C library's float may differ from the correctly rounded one.
#pragma once

#include <array>
#include <cstdint>

#include "math_windows_layout.h"

namespace gaussian_noise {

inline constexpr const char* windowsLibraryVersion = "2.36";

inline constexpr std::array<std::uint32_t, windowCount> logfWindows = {
    16,       16,       16,        16,        16,        16,        16,       16,       16,       16,
    16,       16,       16,        16,        16,        16,        38,       38,       1169,     1169,
    1169,     16,       16,        16,        16,        16,        252419,   252419,   818122,   818122,
    7510102,  45981166, 154211323, 154211323, 154211323, 107997050, 45342467, 23898693, 19996634, 19996634,
    19996634, 10673508, 5213659,   2621724,   758838,    16};
inline constexpr std::array<std::uint32_t, windowCount> cosfWindows = {
    16,       16,       16,       16,       16,       16, 16,   16,    16,     16,     16,      16,
    16,       16,       16,       16,       16,       16, 16,   16,    16,     16,     16,      16,
    16,       16,       16,       16,       16,       16, 2836, 32568, 244981, 859174, 3853655, 14081763,
    32516636, 32516636, 32516636, 32433501, 25361861, 16, 16,   16,    16,     16};

}  // namespace gaussian_noise
