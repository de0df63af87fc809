// A second account of the noise arithmetic, written step by step from the
// documented recipe, that the tests hold the tool's generator against. It
// shares no code with src/: only the C library's rand and the math library.
#pragma once

#include <functional>

namespace gaussian_noise::reference {

// The sample for one accepted pair of draws: a first draw of 1..2147483647,
// a second draw of 0..2147483647.
float sampleFromDraws(int first, int second, float mean, float variance);

// The next sample from the C library's rand sequence, redrawing any pair
// whose first draw is 0.
float nextSample(float mean, float variance);
// The same, from the draws of `draw`.
float nextSample(float mean, float variance, const std::function<int()>& draw);

}  // namespace gaussian_noise::reference
