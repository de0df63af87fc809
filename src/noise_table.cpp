#include "noise_table.h"

#include <cstdint>

#include "generator.h"
#include "number_text.h"

namespace gaussian_noise {

bool writeNoiseTable(BlockWriter& out, const RunSettings& settings) {
    constexpr int maxCellLength = maxGeneralLength + 1;  // the number and its comma
    for (std::int32_t run = 0; run < settings.runs; ++run) {
        if (run != 0) {
            if (!out.makeRoom(1)) return false;
            char* end = out.end();
            *end++ = '\n';
            out.advance(end);
        }
        for (std::int32_t sample = 0; sample < settings.samplesPerRun; ++sample) {
            if (!out.makeRoom(maxCellLength)) return false;
            char* end = writeGeneral(out.end(), generateGaussianNoise(settings.mean, settings.variance));
            *end++ = ',';
            out.advance(end);
        }
    }
    return out.flush();
}

}  // namespace gaussian_noise
