// The ways of writing a batch of samples as cells, for the processors that
// can run them. writeGeneralCells and writeShortestCells use the fastest
// one the processor supports; tests, benchmarks and the verifiers call each
// one directly.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "text/number_text.h"

namespace gaussian_noise {

struct CellWriterVariant {
    std::string_view name;
    bool (*supported)();  // whether this processor can run `write`
    // Writes each sample's text (writeGeneral's, or writeShortest's)
    // followed by ','; returns the end. Needs samples.size() * generalRoom
    // (or shortestRoom + 1) bytes of room.
    char* (*write)(char* out, std::span<const float> samples) noexcept;
};

// One sample's writeGeneral text followed by ','; returns the end.
[[gnu::always_inline]] inline char* writeGeneralCell(char* out, float sample) noexcept {
    out = writeGeneral(out, sample);
    *out = ',';
    return out + 1;
}

// One sample's writeShortest text followed by ','; returns the end.
[[gnu::always_inline]] inline char* writeShortestCell(char* out, float sample) noexcept {
    out = writeShortest(out, sample);
    *out = ',';
    return out + 1;
}

// Every variant built in, the portable one first; the ones after it are
// faster where supported.
std::span<const CellWriterVariant> cellWriterVariants();

// The variant writeGeneralCells uses on this processor: the last supported one.
const CellWriterVariant& chosenCellWriterVariant();

// The same for writeShortestCells.
std::span<const CellWriterVariant> shortestCellWriterVariants();
const CellWriterVariant& chosenShortestCellWriterVariant();

// Fixed notation covers the decimal exponents -4 to 5 after rounding to six
// digits. decimalExponentStarts[i] is the smallest float whose rounded decimal
// exponent is minFixedExponent + i or more: a positive float x is written in
// fixed notation when starts[0] <= x < starts[fixedExponentCount], and its
// exponent is then minFixedExponent plus the number of starts[1..9] <= x.
inline constexpr int minFixedExponent = -4;
inline constexpr int fixedExponentCount = 10;
extern const std::array<float, fixedExponentCount + 1> decimalExponentStarts;

#if defined(__x86_64__)
// Eight samples at a time with AVX2 instructions (general_avx2.cpp).
char* writeGeneralCellsAvx2(char* out, std::span<const float> samples) noexcept;
// Sixteen samples at a time with AVX-512 F and BW (general_avx512.cpp).
char* writeGeneralCellsAvx512(char* out, std::span<const float> samples) noexcept;
// writeShortest's text and a comma, four samples at a time with AVX2.
char* writeShortestCellsAvx2(char* out, std::span<const float> samples) noexcept;
#endif

}  // namespace gaussian_noise
