// writeGeneralCells and writeShortestCells, and the one place that picks
// how they run on this processor.
#include "text/number_text_variants.h"

#include <array>
#include <charconv>
#include <span>

#include "cpu.h"
#include "text/number_text.h"

namespace gaussian_noise {
namespace {

// The portable variant: one sample after another through writeGeneral.
char* writeGeneralCellsPortable(char* out, std::span<const float> samples) noexcept {
    // cppcheck-suppress useStlAlgorithm ; a loop says "one cell after another" plainest
    for (const float sample : samples) out = writeGeneralCell(out, sample);
    return out;
}

// The portable --lossless variant: one sample after another through writeShortest.
char* writeShortestCellsPortable(char* out, std::span<const float> samples) noexcept {
    // cppcheck-suppress useStlAlgorithm ; a loop says "one cell after another" plainest
    for (const float sample : samples) out = writeShortestCell(out, sample);
    return out;
}

constexpr std::array variants {
    CellWriterVariant{"portable", cpu::any, writeGeneralCellsPortable},
#if defined(__x86_64__)
        CellWriterVariant{"avx2", cpu::avx2, writeGeneralCellsAvx2},
        CellWriterVariant{"avx512", cpu::avx512bw, writeGeneralCellsAvx512},
#endif
};

constexpr std::array shortestVariants {
    CellWriterVariant{"portable", cpu::any, writeShortestCellsPortable},
#if defined(__x86_64__)
        CellWriterVariant{"avx2", cpu::avx2, writeShortestCellsAvx2},
#endif
};

// printf's own text, for a process whose rounding is not to nearest, in
// which the tool's own text would round otherwise than printf does.
char* writeGeneralCellsByPrintf(char* out, std::span<const float> samples) noexcept {
    for (const float sample : samples) {
        out = writeGeneralByPrintf(out, sample);
        *out++ = ',';
    }
    return out;
}

// The standard library's shortest text, for the same processes: std::to_chars
// works in integers and does not depend on the rounding mode.
char* writeShortestCellsByToChars(char* out, std::span<const float> samples) noexcept {
    for (const float sample : samples) {
        out = std::to_chars(out, out + shortestRoom, sample).ptr;
        *out++ = ',';
    }
    return out;
}

constexpr CellWriterVariant printfGeneral{"printf", cpu::any, writeGeneralCellsByPrintf};
constexpr CellWriterVariant toCharsShortest{"to_chars", cpu::any, writeShortestCellsByToChars};

// The variant of `list` this process uses, chosen at first use: the
// library's own text where the tool's does not serve.
template <const auto& list, const CellWriterVariant& library>
const CellWriterVariant& chosenOf() {
    static const CellWriterVariant& chosen = ownTextServes() ? cpu::lastSupported<CellWriterVariant>(list) : library;
    return chosen;
}

}  // namespace

std::span<const CellWriterVariant> cellWriterVariants() { return variants; }
const CellWriterVariant& chosenCellWriterVariant() { return chosenOf<variants, printfGeneral>(); }
std::span<const CellWriterVariant> shortestCellWriterVariants() { return shortestVariants; }
const CellWriterVariant& chosenShortestCellWriterVariant() { return chosenOf<shortestVariants, toCharsShortest>(); }

char* writeGeneralCells(char* out, std::span<const float> samples) noexcept {
    static const auto write = chosenCellWriterVariant().write;
    return write(out, samples);
}

char* writeShortestCells(char* out, std::span<const float> samples) noexcept {
    static const auto write = chosenShortestCellWriterVariant().write;
    return write(out, samples);
}

}  // namespace gaussian_noise
