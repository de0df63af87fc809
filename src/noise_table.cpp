#include "noise_table.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "binary_table.h"
#include "generator.h"
#include "number_text.h"
#include "shortest_text.h"

namespace gaussian_noise {
namespace {

// Each sample's shortest text followed by a comma; returns the end of the text.
char* writeShortestCells(char* out, std::span<const float> samples) {
    for (const float sample : samples) {
        out = writeShortest(out, sample);
        *out++ = ',';
    }
    return out;
}

// How the cells are written, the room each may take while it is (its text,
// its comma, and the scratch bytes a formatter may store past them), and
// whether a line feed separates the rows.
struct CellFormat {
    char* (*write)(char*, std::span<const float>);
    std::size_t room;
    bool rowSeparators;
};

CellFormat cellFormat(const RunSettings& settings) {
    if (settings.format != TableFormat::csv) return {writeLittleEndianSingles, binarySampleSize, false};
    if (settings.cellText == CellText::lossless) return {writeShortestCells, shortestRoom + 1, true};
    return {writeGeneralCells, generalRoom, true};
}

}  // namespace

bool writeNoiseTable(BlockWriter& out, const RunSettings& settings, Progress* progress) {
    // Samples are drawn a batch at a time, then formatted: two tight loops run
    // markedly faster than one that alternates between the math library and
    // the formatter. The order of the cells is the order of the draws.
    constexpr std::int32_t batchSize = 256;
    std::array<float, batchSize> batch{};
    const CellFormat format = cellFormat(settings);
    if (settings.format == TableFormat::npy && !out.put(npyHeader(settings.runs, settings.samplesPerRun))) return false;
    std::int64_t cells = 0;
    for (std::int32_t run = 0; run < settings.runs; ++run) {
        if (run != 0 && format.rowSeparators) {
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
            if (!out.makeRoom(static_cast<std::size_t>(count) * format.room)) return false;
            out.advance(format.write(out.end(), std::span<const float>(batch.data(), static_cast<std::size_t>(count))));
            done += count;
            cells += count;
            if (progress != nullptr) progress->update(cells, out.size());
        }
    }
    if (!out.flush()) return false;
    if (progress != nullptr) progress->finish(cells, out.size());
    return true;
}

}  // namespace gaussian_noise
