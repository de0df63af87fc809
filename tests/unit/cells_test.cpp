// The cells of a table in memory: row breaks wherever a run of samples starts
// and ends, and tables drawn in pieces, or a chunk of pairs at a time with a
// pair thrown away, against the reference table.
#include "table/cells.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "draws/rand_sequence.h"
#include "expected_table.h"
#include "samples/math_choice.h"

namespace gaussian_noise::testing {
namespace {

const CellFormat general = cellFormat(TableFormat::csv, CellText::general);

std::string written(const CellFormat& format, std::int64_t samplesPerRun, std::int64_t first,
                    const std::vector<float>& samples) {
    std::string text(cellsRoom(format, static_cast<std::int64_t>(samples.size())), '\0');
    text.resize(static_cast<std::size_t>(writeCells(text.data(), format, samplesPerRun, first, samples) - text.data()));
    return text;
}

TEST(Cells, BreakRowsWhereverARunOfSamplesStartsAndEnds) {
    const std::vector<float> samples = {0.5F, -1.25F, 3e-7F, 123456.0F, -0.0F, 2.0F, 7.75F, 1e10F, -3.0F};
    for (const std::int64_t samplesPerRun : {1, 2, 3, 7}) {
        for (std::int64_t first = 0; first <= 2 * samplesPerRun; ++first) {
            for (std::size_t count = 0; count <= samples.size(); ++count) {
                const std::vector<float> run(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(count));
                std::string expected;
                for (std::size_t i = 0; i < count; ++i) {
                    const std::int64_t cell = first + static_cast<std::int64_t>(i);
                    if (cell != 0 && cell % samplesPerRun == 0) expected += '\n';
                    char text[32];
                    expected.append(text, static_cast<std::size_t>(
                                              std::snprintf(text, sizeof text, "%g,", static_cast<double>(run[i]))));
                }
                EXPECT_EQ(written(general, samplesPerRun, first, run), expected)
                    << samplesPerRun << " a row, from cell " << first << ", " << count << " cells";
            }
        }
    }
    // Binary cells have no separators at all.
    EXPECT_EQ(written(cellFormat(TableFormat::f32, CellText::general), 1, 5, {1.0F, -2.0F}),
              std::string("\x00\x00\x80\x3f\x00\x00\x00\xc0", 8));
}

// The table of a seed drawn through drawCells in the pieces given, each piece
// at most `pairs` pairs, as a chunk of the threaded table is.
std::string drawnInPieces(std::uint32_t seed, const Table& table, std::int64_t cellsPerPiece, std::uint64_t pairs) {
    RandSequence draws(seed);
    std::string text(cellsRoom(table.format, table.cells), '\0');
    char* end = text.data();
    for (std::int64_t first = 0; first < table.cells;) {
        const DrawnCells drawn =
            drawCells(end, table, draws, first, std::min(cellsPerPiece, table.cells - first), pairs);
        end = drawn.end;
        first += drawn.cells;
    }
    text.resize(static_cast<std::size_t>(end - text.data()));
    return text;
}

TEST(Cells, DrawnInPiecesOrChunksOfPairsAreTheReferenceTable) {
    // Pair 5 of this seed's sequence is thrown away: the chunk of pairs 0..7
    // holds 7 cells, and the cells that follow come from pair 8 on.
    const std::uint32_t seed = 74617010;
    const Table table{{1.7F, 3.3F}, chosenMath(), general, 11, 77};
    const std::string expected = expectedTable(seed, 1.7F, 3.3F, 7, 11);
    for (const std::int64_t piece : {1, 4, 5, 6, 11, 77}) {
        EXPECT_EQ(drawnInPieces(seed, table, piece, std::uint64_t{1} << 40), expected) << piece << " cells a piece";
    }
    for (const std::uint64_t pairs : {1U, 5U, 6U, 8U, 80U}) {
        EXPECT_EQ(drawnInPieces(seed, table, 77, pairs), expected) << pairs << " pairs a chunk";
    }
}

}  // namespace
}  // namespace gaussian_noise::testing
