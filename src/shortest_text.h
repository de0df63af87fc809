// The lossless number text: the shortest text that reads back as the same float.
#pragma once

namespace gaussian_noise {

// The room writeShortest needs after `out`: the longest text is
// "-1.1754944e-38", 14 characters.
inline constexpr int shortestRoom = 16;

// Writes the shortest decimal text that strtof reads back as exactly `value`,
// in fixed or exponent notation, whichever is shorter ("0.1", "-1.3486719",
// "1e-05", "inf", "-nan", "-0"). Returns the end of the text.
char* writeShortest(char* out, float value) noexcept;

}  // namespace gaussian_noise
