#include "samples/gaussian_sample.h"

#include <cstdlib>

namespace gaussian_noise {

// The uniform scale maps a draw of 2147483647 to exactly 1 and assumes no
// larger one: rand() must draw from 0 to 2^31 - 1, as glibc's does.
static_assert(RAND_MAX == 2147483647, "the uniform scale assumes RAND_MAX is 2147483647");

float generateGaussianNoise(float mean, float variance) {
    return gaussianSample(mean, variance, [] { return std::rand(); });
}

}  // namespace gaussian_noise
