// Which math a run's samples are computed with: the vector math
// (vector_math.h) where a process finds it proven for itself, the C
// library's scalar functions everywhere else (chosenMath).
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

// Whether the C library of `version` (gnu_get_libc_version()) computes
// logf and cosf as the vector math does: glibc 2.29 to 2.43, whose logf and
// cosf have the same operations and constants as 2.36's, which the lanes
// were proven against. Read as numbers: "2.4" is not "2.40".
bool provenLibraryVersion(std::string_view version) noexcept;

// Whether `math`'s logf and cosf give the bits of `log` and `cos` on each
// function's checkpoints (math_checkpoints.h), where a C library computed
// otherwise would differ first: some 3,000 inputs, tens of microseconds.
bool lanesGiveTheBitsOf(const SampleMath& math, float (*log)(float), float (*cos)(float)) noexcept;

// The math a run uses: the last supported variant, where the processor can
// run it, the C library is of a version it is proven for, the logf
// and cosf the tool calls are that library's own (not replaced at link or
// load time), the rounding is to nearest, and the variant gives the C
// library's bits on the checkpoints (math_checkpoints.h); scalarMath
// everywhere else.
const SampleMath& chosenMath();

}  // namespace gaussian_noise
