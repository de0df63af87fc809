// Box–Muller noise: one normal sample per accepted pair of uniform draws.
#pragma once

#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

namespace gaussian_noise {

// The normal distribution the samples are drawn from.
struct Distribution {
    float mean = 0.0F;
    float variance = 1.0F;
};

// Turns pairs of draws of 0..2147483647 into samples: pair i is draws[2i]
// (the first) and draws[2i+1] (the second). A pair whose first draw is 0 is
// thrown away and gives no sample; every other pair gives one, in order.
// Writes the samples at `samples` and returns how many: the pairs thrown away
// are the other draws.size() / 2 - that many.
//
// Every operation is written out with its precision so that the result is
// bit-for-bit reproducible: the build must not contract the final multiply
// and add into a fused one.
inline std::size_t samplesOfPairs(Distribution distribution, std::span<const std::int32_t> draws,
                                  float* samples) noexcept {
    constexpr float epsilon = 1.17549435e-38F;  // smallest positive normal float, 2^-126
    constexpr float tau = 6.2831855F;           // float nearest 2*pi
    constexpr double uniformScale = 1.0 / 2147483647.0;
    const auto [mean, variance] = distribution;

    std::size_t count = 0;
    for (std::size_t pair = 0; pair + 1 < draws.size(); pair += 2) {
        const auto u1 = static_cast<float>(static_cast<double>(draws[pair]) * uniformScale);
        const auto u2 = static_cast<float>(static_cast<double>(draws[pair + 1]) * uniformScale);
        if (u1 <= epsilon) continue;  // only a first draw of 0 lands here

        const double radius = std::sqrt(-2.0 * static_cast<double>(logf(u1)));
        const float theta = tau * u2;
        const auto z0 = static_cast<float>(static_cast<double>(cosf(theta)) * radius);
        float sample = mean + sqrtf(variance) * z0;
        // With an infinite variance the last step can make a new NaN: inf - inf
        // when the mean is infinite too, inf * 0 when the first draw gives a
        // radius of 0. x86-64 gives such a NaN the sign bit, aarch64 does not;
        // it is set here so that a seed writes the same table on both.
        if (std::isnan(sample) && !std::isnan(mean)) [[unlikely]]
            sample = -std::numeric_limits<float>::quiet_NaN();
        samples[count++] = sample;
    }
    return count;
}

// One sample from draws of 0..2147483647 taken from `draw` a pair at a time,
// until a pair is not thrown away.
template <std::invocable Draw>
float gaussianSample(float mean, float variance, Draw&& draw) {
    for (;;) {
        const std::int32_t first = draw();  // two statements fix the order of the draws
        const std::int32_t second = draw();
        const std::int32_t pair[] = {first, second};
        float sample = 0.0F;
        if (samplesOfPairs({mean, variance}, pair, &sample) == 1) return sample;
    }
}

// One sample drawn from the C library's process-wide `rand` sequence.
float generateGaussianNoise(float mean, float variance);

}  // namespace gaussian_noise
