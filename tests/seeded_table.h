// The table the tool writes for a seed, asked of the built tool itself.
#pragma once

#include <cstdint>
#include <string>

namespace gaussian_noise::testing {

struct TableShape {
    float mean;
    float variance;
    std::int32_t runs;
    std::int32_t samplesPerRun;
};

// Runs the built tool (through the emulator in a cross build) with
// --seed=SEED --output=- and the shape's values written so that they read
// back exactly, and returns the table it wrote on standard output.
std::string tableForSeed(unsigned seed, const TableShape& shape);

}  // namespace gaussian_noise::testing
