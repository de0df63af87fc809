// The four values a run is made of, as read from the command line.
#pragma once

#include <cstdint>

namespace gaussian_noise {

struct RunSettings {
    float mean = 0.0F;
    float variance = 0.0F;
    std::int32_t runs = 0;           // rows of the table
    std::int32_t samplesPerRun = 0;  // cells of each row
};

}  // namespace gaussian_noise
