// logf and cosf of a batch at vector speed, bit for bit the C library's on
// every input the generator can give them: the C library's own algorithms,
// several lanes at a time (lane_math.cpp), used where a process finds
// them proven for itself (chosenMath).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "samples/gaussian_sample.h"

namespace gaussian_noise {

struct MathVariant {
    std::string_view name;
    bool (*runnable)();   // whether the processor can run `math`
    bool (*supported)();  // whether this process may use `math`: see below
    SampleMath math;
};

// Every vector variant built in (none on processors other than x86-64).
std::span<const MathVariant> mathVariants();

// Whether `batch` gives the bits of `scalar` on each of `inputs` (float bits).
bool sameBitsOn(MathBatch batch, float (*scalar)(float), std::span<const std::uint32_t> inputs) noexcept;

#if defined(__x86_64__)
// logf and cosf of a batch by the C library's own algorithms, four lanes at
// a time with AVX2 and FMA (lane_math.cpp), for the inputs the generator can
// give them.
void laneLogfAvx2(const float* in, float* out, std::size_t count) noexcept;
void laneCosfAvx2(const float* in, float* out, std::size_t count) noexcept;
// The same, eight lanes at a time with AVX-512.
void laneLogfAvx512(const float* in, float* out, std::size_t count) noexcept;
void laneCosfAvx512(const float* in, float* out, std::size_t count) noexcept;
#endif

// The math a run uses: the last supported variant, where the processor can
// run it, the C library is of the version it was proven against, the logf
// and cosf the tool calls are that library's own (not replaced at link or
// load time), the rounding is to nearest, and the variant gives the C
// library's bits on the checkpoints (math_checkpoints.h); scalarMath
// everywhere else.
const SampleMath& chosenMath();

}  // namespace gaussian_noise
