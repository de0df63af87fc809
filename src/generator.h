// Box–Muller noise: one normal sample per accepted pair of uniform draws.
#pragma once

#include <cmath>
#include <concepts>
#include <limits>

namespace gaussian_noise {

// Turns draws of 0..2147483647 from `draw` into one sample of a normal
// distribution with the given mean and variance. Every operation is written
// out with its precision so that the result is bit-for-bit reproducible: the
// build must not contract the final multiply and add into a fused one.
template <std::invocable Draw>
float gaussianSample(float mean, float variance, Draw&& draw) {
    constexpr float epsilon = 1.17549435e-38F;  // smallest positive normal float, 2^-126
    constexpr float tau = 6.2831855F;           // float nearest 2*pi
    constexpr double uniformScale = 1.0 / 2147483647.0;

    float u1 = 0.0F;
    float u2 = 0.0F;
    do {
        // Two separate statements fix the order of the draws.
        u1 = static_cast<float>(static_cast<double>(draw()) * uniformScale);
        u2 = static_cast<float>(static_cast<double>(draw()) * uniformScale);
    } while (u1 <= epsilon);  // only a first draw of 0 lands here

    const double radius = std::sqrt(-2.0 * static_cast<double>(logf(u1)));
    const float theta = tau * u2;
    const auto z0 = static_cast<float>(static_cast<double>(cosf(theta)) * radius);
    const float sample = mean + sqrtf(variance) * z0;
    // With an infinite variance the last step can make a new NaN: inf - inf
    // when the mean is infinite too, inf * 0 when the first draw gives a
    // radius of 0. x86-64 gives such a NaN the sign bit, aarch64 does not;
    // it is set here so that a seed writes the same table on both.
    if (std::isnan(sample) && !std::isnan(mean)) [[unlikely]]
        return -std::numeric_limits<float>::quiet_NaN();
    return sample;
}

// One sample drawn from the C library's process-wide `rand` sequence.
float generateGaussianNoise(float mean, float variance);

}  // namespace gaussian_noise
