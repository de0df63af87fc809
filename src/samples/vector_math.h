// logf and cosf of a batch at vector speed, bit for bit the C library's on
// every input the generator can give them: the C library's own algorithms,
// several lanes at a time; and the last steps of the samples four at a
// time. math_choice.h says where a run uses them.
#pragma once

#include <cstddef>

#include "samples/gaussian_sample.h"

namespace gaussian_noise {

#if defined(__x86_64__)
// logf and cosf of a batch, four lanes at a time with AVX2 and FMA, for the
// inputs the generator can give them.
void laneLogfAvx2(const float* in, float* out, std::size_t count) noexcept;
void laneCosfAvx2(const float* in, float* out, std::size_t count) noexcept;
// The same, eight lanes at a time with AVX-512.
void laneLogfAvx512(const float* in, float* out, std::size_t count) noexcept;
void laneCosfAvx512(const float* in, float* out, std::size_t count) noexcept;

// scalarSamples four samples at a time, with AVX2: the same operations at
// the same precisions, and the same NaNs.
void vectorSamples(Distribution distribution, const float* logarithms, const float* cosines, float* samples,
                   std::size_t count) noexcept;
#endif

}  // namespace gaussian_noise
