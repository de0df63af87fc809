// What the number text writers share: the digit pairs "00" to "99", the
// 128-bit integers of their exact arithmetic, and the lengths of a text in
// fixed and in exponent notation.
#pragma once

#include <array>
#include <cstddef>

namespace gaussian_noise {

__extension__ using uint128 = unsigned __int128;

// "00" to "99": the pair of n at 2n.
inline constexpr std::array<char, 200> digitPairs = [] {
    std::array<char, 200> pairs{};
    for (std::size_t i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// The length, sign left out, of `digits` significant digits (1 or more)
// whose first has the decimal exponent `exponent`, in fixed notation:
// "0.000ddd" below 1, "ddd.ddd" or "ddd000" from 1 up.
constexpr int fixedLength(int exponent, int digits) {
    if (exponent < 0) return 1 - exponent + digits;
    return digits > exponent + 1 ? digits + 1 : exponent + 1;
}

// The same in exponent notation with a two-digit exponent: "d.ddde+XX".
constexpr int exponentLength(int digits) { return digits + (digits > 1 ? 1 : 0) + 4; }

}  // namespace gaussian_noise
