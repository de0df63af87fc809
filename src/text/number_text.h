// Number text of the table and the echo, written into a caller's buffer:
// six significant digits as printf writes them, and the shortest text that
// reads back exactly.
#pragma once

#include <span>

namespace gaussian_noise {

// The room writeGeneral needs after `out`: it stores whole 8-byte words, so
// bytes past the returned end may be overwritten with scratch.
inline constexpr int generalRoom = 16;

// Writes `value`, widened to double, exactly as printf("%g") does: six
// significant digits rounded to nearest with exact ties to even, fixed
// notation for decimal exponents -4 to 5 and exponent notation otherwise,
// trailing zeros removed, and "inf", "-inf", "nan", "-nan", "-0".
// Returns the end of the text, at most 12 characters on ("-1.17549e-38").
char* writeGeneral(char* out, float value) noexcept;

// Whether the tool's own number text serves in this thread: it is proven in
// rounding to nearest alone, and a library loaded before the tool may have
// set another mode, in which printf and std::to_chars write the text.
bool ownTextServes() noexcept;

// printf's own "%g" text of `value` widened to double, in any rounding mode.
// Needs generalRoom bytes after `out`; returns the end of the text.
char* writeGeneralByPrintf(char* out, float value) noexcept;

// Writes each sample's writeGeneral text followed by a comma, the cells of
// a table row, and returns the end. Needs samples.size() * generalRoom bytes
// of room; bytes past the returned end may be overwritten with scratch. Runs
// eight samples at a time with vector instructions where the processor has
// them, with the same text.
char* writeGeneralCells(char* out, std::span<const float> samples) noexcept;

// The room writeShortest needs after `out`: the longest text is
// "-1.1754944e-38", 14 characters.
inline constexpr int shortestRoom = 16;

// Writes the shortest decimal text that strtof reads back as exactly `value`,
// in fixed or exponent notation, whichever is shorter ("0.1", "-1.3486719",
// "1e-05", "inf", "-nan", "-0"). Returns the end of the text.
char* writeShortest(char* out, float value) noexcept;

// Writes each sample's writeShortest text followed by a comma and returns
// the end. Needs samples.size() * (shortestRoom + 1) bytes of room; bytes
// past the returned end may be overwritten with scratch. Runs four samples
// at a time with vector instructions where the processor has them, with
// the same text.
char* writeShortestCells(char* out, std::span<const float> samples) noexcept;

}  // namespace gaussian_noise
