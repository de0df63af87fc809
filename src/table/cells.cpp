#include "table/cells.h"

#include "table/binary_table.h"
#include "text/number_text.h"

namespace gaussian_noise {

CellFormat cellFormat(TableFormat format, CellText text) {
    if (format != TableFormat::csv) return {writeLittleEndianSingles, binarySampleSize, false};
    if (text == CellText::lossless) return {writeShortestCells, shortestRoom + 1};
    return {writeGeneralCells, generalRoom};
}

char* writeCells(char* out, const CellFormat& format, std::int64_t samplesPerRun, std::int64_t first,
                 std::span<const float> samples) noexcept {
    if (!format.rowSeparators) return format.write(out, samples);
    std::int64_t column = first % samplesPerRun;
    while (!samples.empty()) {
        if (column == 0 && first != 0) *out++ = '\n';
        const auto size = std::min(samples.size(), static_cast<std::size_t>(samplesPerRun - column));
        out = format.write(out, samples.first(size));
        samples = samples.subspan(size);
        first += static_cast<std::int64_t>(size);
        column = 0;
    }
    return out;
}

}  // namespace gaussian_noise
