// The table the tool writes for a seed, made in the test's own process.
#pragma once

#include <string>

#include "run_settings.h"

namespace gaussian_noise::testing {

// Seeds the C library's rand() with `seed`, as the tool does with the clock,
// and returns the bytes the tool's table code writes for `settings`.
std::string tableForSeed(unsigned seed, const RunSettings& settings);

}  // namespace gaussian_noise::testing
