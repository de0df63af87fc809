#include "reference_noise.h"

#include <cmath>
#include <cstdlib>

namespace gaussian_noise::reference {

// Every step is its own statement at its documented precision. The build
// passes -ffp-contract=off so that the last multiply and add stay apart.
float sampleFromDraws(int first, int second, float mean, float variance) {
    const double drawScale = 1.0 / 2147483647.0;  // rand's largest value maps to 1
    const auto u1 = static_cast<float>(static_cast<double>(first) * drawScale);
    const auto u2 = static_cast<float>(static_cast<double>(second) * drawScale);

    const float logarithm = std::log(u1);                                      // single precision
    const double radius = std::sqrt(-2.0 * static_cast<double>(logarithm));    // double precision
    const float angle = 6.2831855F * u2;                                       // the float nearest 2 pi, single
    const float cosine = std::cos(angle);                                      // single precision
    const auto z0 = static_cast<float>(static_cast<double>(cosine) * radius);  // double, then rounded

    const float deviation = std::sqrt(variance);  // single precision
    const float scaled = deviation * z0;          // single precision
    return mean + scaled;                         // single precision
}

float nextSample(float mean, float variance) {
    return nextSample(mean, variance, [] { return std::rand(); });
}

float nextSample(float mean, float variance, const std::function<int()>& draw) {
    for (;;) {
        const int first = draw();
        const int second = draw();
        // Only a first draw of 0 gives a uniform value too small for the
        // logarithm: the next smallest, 1 / 2147483647, is far above 2^-126.
        if (first != 0) return sampleFromDraws(first, second, mean, variance);
    }
}

}  // namespace gaussian_noise::reference
