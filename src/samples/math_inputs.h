// Every input the generator can give logf and cosf: logf(u1) for each
// u1 = float(draw / 2147483647) of a first draw of 1 .. 2^31-1, and
// cosf(tau * u2) for each u2 of a second draw of 0 .. 2^31-1. Few enough
// (75,497,473 of each) to check a way of computing them on every one.
#pragma once

#include <cstdint>

#include "samples/gaussian_sample.h"

namespace gaussian_noise {

// Calls logInput(u1) once for each distinct u1 and cosInput(theta) once for
// each distinct theta, in increasing order.
template <class LogInput, class CosInput>
void forEachMathInput(LogInput&& logInput, CosInput&& cosInput) {
    // u and theta grow with the draw: comparing with the last one skips repeats.
    float lastU = -1.0F;
    float lastTheta = -1.0F;
    for (std::int64_t draw = 0; draw <= 2147483647; ++draw) {
        const float u = uniformOf(static_cast<std::int32_t>(draw));
        if (u == lastU) continue;
        lastU = u;
        if (draw != 0) logInput(u);
        const float theta = angleOf(u);
        if (theta == lastTheta) continue;
        lastTheta = theta;
        cosInput(theta);
    }
}

}  // namespace gaussian_noise
