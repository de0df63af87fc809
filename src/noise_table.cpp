#include "noise_table.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "generator.h"
#include "number_text.h"

namespace gaussian_noise {

bool writeNoiseTable(BlockWriter& out, const RunSettings& settings) {
    // Samples are drawn a batch at a time, then formatted: two tight loops run
    // markedly faster than one that alternates between the math library and
    // the formatter. The order of the cells is the order of the draws.
    constexpr std::int32_t batchSize = 256;
    std::array<float, batchSize> batch{};
    for (std::int32_t run = 0; run < settings.runs; ++run) {
        if (run != 0) {
            if (!out.makeRoom(1)) return false;
            char* end = out.end();
            *end++ = '\n';
            out.advance(end);
        }
        for (std::int32_t done = 0; done < settings.samplesPerRun;) {
            const std::int32_t count = std::min(batchSize, settings.samplesPerRun - done);
            for (std::int32_t i = 0; i < count; ++i) {
                batch[static_cast<std::size_t>(i)] = generateGaussianNoise(settings.mean, settings.variance);
            }
            // Room for the whole batch: generalRoom bytes per cell.
            if (!out.makeRoom(static_cast<std::size_t>(count) * generalRoom)) return false;
            out.advance(
                writeGeneralCells(out.end(), std::span<const float>(batch.data(), static_cast<std::size_t>(count))));
            done += count;
        }
    }
    return out.flush();
}

}  // namespace gaussian_noise
