// The cells of a table, drawn and written a batch at a time: the one loop
// that turns draws into text, used whole by one thread and chunk by chunk by
// several. A cell's place in its row follows from its index in the table.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "cell_format.h"
#include "generator.h"
#include "run_settings.h"

namespace gaussian_noise {

struct TableLayout {
    float mean = 0.0F;
    float variance = 0.0F;
    std::int64_t samplesPerRun = 1;  // more than 0
    CellFormat format{};
};

// The cells of the table: 0 when either count is 0 or less.
inline std::int64_t tableCellCount(const RunSettings& settings) {
    if (settings.runs <= 0 || settings.samplesPerRun <= 0) return 0;
    return std::int64_t{settings.runs} * settings.samplesPerRun;
}

// The room writeTableCells needs for `cells` cells, line feeds included.
inline std::size_t tableCellsRoom(const CellFormat& format, std::int64_t cells) {
    return static_cast<std::size_t>(cells) * (format.room + 1);
}

// Draws from `Source` (0..2147483647 each), counted.
template <class Source>
struct CountedDraws {
    Source& source;
    std::uint64_t count = 0;
    std::int32_t operator()() {
        ++count;
        return source();
    }
};

struct CellsWritten {
    char* end;
    std::int64_t cells;
};

// Writes the cells first .. first+count-1 of the table at `out`, each with
// the line feed that begins its row (but the first row's), drawing each
// sample from `draws`. A sample whose draws take the count past `drawLimit`
// lies beyond the caller's share of the sequence: it is not written and the
// writing stops there. Returns the end of the text and the cells written.
template <class Source>
CellsWritten writeTableCells(char* out, const TableLayout& layout, std::int64_t first, std::int64_t count,
                             CountedDraws<Source>& draws,
                             std::uint64_t drawLimit = std::numeric_limits<std::uint64_t>::max()) {
    // Samples are drawn a batch at a time, then formatted: two tight loops run
    // markedly faster than one that alternates between the math library and
    // the formatter. The order of the cells is the order of the draws.
    constexpr std::int64_t batchSize = 256;
    std::array<float, batchSize> batch{};
    std::int64_t done = 0;
    std::int64_t column = first % layout.samplesPerRun;
    while (done < count) {
        const std::int64_t size = std::min({batchSize, layout.samplesPerRun - column, count - done});
        std::int64_t drawn = 0;
        for (; drawn < size; ++drawn) {
            batch[static_cast<std::size_t>(drawn)] = gaussianSample(layout.mean, layout.variance, draws);
            if (draws.count > drawLimit) break;
        }
        if (drawn == 0) break;
        if (column == 0 && first + done != 0 && layout.format.rowSeparators) *out++ = '\n';
        out = layout.format.write(out, std::span<const float>(batch.data(), static_cast<std::size_t>(drawn)));
        done += drawn;
        column += drawn;
        if (column == layout.samplesPerRun) column = 0;
        if (drawn < size) break;
    }
    return {out, done};
}

}  // namespace gaussian_noise
