// How the vector %g variants lay out a cell in fixed notation: for each
// layout (the sign and the decimal exponent), which byte of the cell's
// sources each byte of its text takes, and the text's length for each set
// of zero digits. The sources are the six digits, then '.', then '0' and '-'.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "text/digits.h"
#include "text/number_text_variants.h"

namespace gaussian_noise {

// Where a cell's source bytes are: the six digits at 0 to 5, then these.
inline constexpr std::uint8_t pointByte = 6;
inline constexpr std::uint8_t zeroByte = 8;
inline constexpr std::uint8_t minusByte = 9;
inline constexpr std::uint8_t noByte = 0x80;  // the shuffle writes 0

inline constexpr int layoutCount = 2 * fixedExponentCount;  // sign and exponent

struct Layouts {
    // For each layout, which source byte each byte of the text takes.
    std::array<std::array<std::uint8_t, 16>, layoutCount> shuffles;
    // For each layout and mask of zero digits (bit i for digit i), the
    // text's length: trailing zeros go, and the point when no fraction digit
    // is left.
    std::array<std::array<std::uint8_t, 64>, layoutCount> lengths;
};

constexpr Layouts makeLayouts() {
    Layouts layouts{};
    for (int negative = 0; negative <= 1; ++negative) {
        for (int k = minFixedExponent; k < minFixedExponent + fixedExponentCount; ++k) {
            const auto layout = static_cast<std::size_t>(negative * fixedExponentCount + k - minFixedExponent);
            auto& shuffle = layouts.shuffles[layout];
            shuffle.fill(noByte);
            std::size_t size = 0;
            if (negative != 0) shuffle[size++] = minusByte;
            if (k < 0) {  // "0.", then -k-1 zeros, then the digits
                shuffle[size++] = zeroByte;
                shuffle[size++] = pointByte;
                for (int zero = 0; zero < -k - 1; ++zero) shuffle[size++] = zeroByte;
                for (std::uint8_t digit = 0; digit < 6; ++digit) shuffle[size++] = digit;
            } else {  // k + 1 integer digits, the point, the rest
                for (std::uint8_t digit = 0; digit < 6; ++digit) {
                    if (static_cast<int>(digit) == k + 1) shuffle[size++] = pointByte;
                    shuffle[size++] = digit;
                }
            }
            for (unsigned zeros = 0; zeros < 64; ++zeros) {
                int digits = 6;
                while (digits > 1 && ((zeros >> (digits - 1)) & 1) != 0) --digits;
                const int unsignedSize = fixedLength(k, digits);
                layouts.lengths[layout][zeros] = static_cast<std::uint8_t>(negative + unsignedSize);
            }
        }
    }
    return layouts;
}

inline constexpr Layouts fixedLayouts = makeLayouts();

#if defined(__x86_64__)
// Writes a cell in fixed notation from its 16 source bytes, its layout and
// its zero digits (bit i: digit i is 0), and its comma; returns the end.
// Stores 16 bytes at `out`.
[[gnu::target("avx2"), gnu::always_inline]] inline char* writeFixedCell(char* out, const std::uint8_t* sources,
                                                                        std::size_t layout,
                                                                        std::uint8_t zeroDigits) noexcept {
    __m128i source;
    __m128i shuffle;
    std::memcpy(&source, sources, sizeof source);
    std::memcpy(&shuffle, fixedLayouts.shuffles[layout].data(), sizeof shuffle);
    const __m128i text = _mm_shuffle_epi8(source, shuffle);
    std::memcpy(out, &text, sizeof text);
    out += fixedLayouts.lengths[layout][zeroDigits];
    *out = ',';
    return out + 1;
}
#endif

}  // namespace gaussian_noise
