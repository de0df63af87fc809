#include "cell_format.h"

#include "binary_table.h"
#include "cell_text.h"
#include "number_text.h"
#include "shortest_text.h"

namespace gaussian_noise {

CellFormat cellFormat(const RunSettings& settings) {
    if (settings.format != TableFormat::csv) return {writeLittleEndianSingles, binarySampleSize, false};
    if (settings.cellText == CellText::lossless) return {writeCellsOneByOne<writeShortest>, shortestRoom + 1};
    return {writeGeneralCells, generalRoom};
}

}  // namespace gaussian_noise
