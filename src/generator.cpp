#include "generator.h"

#include <cstdlib>

namespace gaussian_noise {

float generateGaussianNoise(float mean, float variance) {
    return gaussianSample(mean, variance, [] { return std::rand(); });
}

}  // namespace gaussian_noise
