// Box–Muller noise: one normal sample per accepted pair of uniform draws.
#pragma once

#include <algorithm>
#include <array>
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

// A way of taking logf or cosf of a batch: out[i] = f(in[i]) for i < count,
// bit for bit the C library's, for count up to maxMathBatch.
using MathBatch = void (*)(const float* in, float* out, std::size_t count) noexcept;
inline constexpr std::size_t maxMathBatch = 256;

// The last steps of the arithmetic for a batch: samples[i] from the
// logarithm of u1 and the cosine of the angle of kept pair i, for i < count.
using SampleBatch = void (*)(Distribution distribution, const float* logarithms, const float* cosines, float* samples,
                             std::size_t count) noexcept;

// The C library's own functions, one call an input.
inline void scalarLogf(const float* in, float* out, std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) out[i] = logf(in[i]);
}
inline void scalarCosf(const float* in, float* out, std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) out[i] = cosf(in[i]);
}

// Every operation is written out with its precision so that the result is
// bit-for-bit reproducible: the build must not contract the final multiply
// and add into a fused one.
inline void scalarSamples(Distribution distribution, const float* logarithms, const float* cosines, float* samples,
                          std::size_t count) noexcept {
    const auto [mean, variance] = distribution;
    for (std::size_t i = 0; i < count; ++i) {
        const double radius = std::sqrt(-2.0 * static_cast<double>(logarithms[i]));
        const auto z0 = static_cast<float>(static_cast<double>(cosines[i]) * radius);
        float sample = mean + sqrtf(variance) * z0;
        // With an infinite variance the last step can make a new NaN: inf - inf
        // when the mean is infinite too, inf * 0 when the first draw gives a
        // radius of 0. x86-64 gives such a NaN the sign bit, aarch64 does not;
        // and where the mean is a NaN too, x86-64 keeps the new NaN, aarch64
        // the mean. Every NaN but the mean's own gets the sign bit here, as on
        // x86-64, so that a seed writes the same table on both.
        if (std::isnan(sample) && (!std::isnan(mean) || std::isnan(sqrtf(variance) * z0))) [[unlikely]]
            sample = -std::numeric_limits<float>::quiet_NaN();
        samples[i] = sample;
    }
}

// How a run's samples are computed: logf and cosf of a batch, then the rest.
struct SampleMath {
    MathBatch log;
    MathBatch cos;
    SampleBatch samples;
};
inline constexpr SampleMath scalarMath{scalarLogf, scalarCosf, scalarSamples};

// A draw of 0..2147483647 as a uniform value in [0, 1]: scaled in double
// precision, rounded to single; a draw of 2147483647 gives exactly 1.
constexpr float uniformOf(std::int32_t draw) noexcept {
    constexpr double uniformScale = 1.0 / 2147483647.0;
    return static_cast<float>(static_cast<double>(draw) * uniformScale);
}

// The angle of a second uniform value, multiplied in single precision.
constexpr float angleOf(float u2) noexcept {
    constexpr float tau = 6.2831855F;  // float nearest 2*pi
    return tau * u2;
}

// Turns pairs of draws of 0..2147483647 into samples: pair i is draws[2i]
// (the first) and draws[2i+1] (the second). A pair whose first draw is 0 is
// thrown away and gives no sample; every other pair gives one, in order.
// Writes the samples at `samples` and returns how many: the pairs thrown away
// are the other draws.size() / 2 - that many. `math` takes the logarithms
// and cosines and makes the samples, a batch of up to maxMathBatch pairs at
// a time.
inline std::size_t samplesOfPairs(Distribution distribution, std::span<const std::int32_t> draws, float* samples,
                                  const SampleMath& math = scalarMath) noexcept {
    constexpr float epsilon = 1.17549435e-38F;  // smallest positive normal float, 2^-126
    std::size_t count = 0;
    for (std::size_t start = 0; start + 1 < draws.size(); start += 2 * maxMathBatch) {
        const std::size_t end = std::min(draws.size() - draws.size() % 2, start + 2 * maxMathBatch);
        // The uniforms of the pairs kept: u1 for the logarithm, the angle theta.
        // Scratch for the batch: every element read is written first.
        std::array<float, maxMathBatch> u1s;     // NOLINT(cppcoreguidelines-pro-type-member-init)
        std::array<float, maxMathBatch> thetas;  // NOLINT(cppcoreguidelines-pro-type-member-init)
        std::size_t kept = 0;
        for (std::size_t pair = start; pair < end; pair += 2) {
            const float u1 = uniformOf(draws[pair]);
            const float u2 = uniformOf(draws[pair + 1]);
            if (u1 <= epsilon) continue;  // only a first draw of 0 lands here
            u1s[kept] = u1;
            thetas[kept] = angleOf(u2);
            ++kept;
        }
        std::array<float, maxMathBatch> logarithms;  // NOLINT(cppcoreguidelines-pro-type-member-init)
        std::array<float, maxMathBatch> cosines;     // NOLINT(cppcoreguidelines-pro-type-member-init)
        math.log(u1s.data(), logarithms.data(), kept);
        math.cos(thetas.data(), cosines.data(), kept);

        math.samples(distribution, logarithms.data(), cosines.data(), samples + count, kept);
        count += kept;
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
