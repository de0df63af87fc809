// How the cells of a table are written, chosen once per run from its settings.
#pragma once

#include <cstddef>

#include "number_text_variants.h"
#include "run_settings.h"

namespace gaussian_noise {

struct CellFormat {
    CellWriter write = nullptr;  // a batch of samples' cells; returns their end
    std::size_t room = 0;        // bytes one cell may take while written: text, separator, scratch
    bool rowSeparators = true;   // a line feed between rows
};

CellFormat cellFormat(const RunSettings& settings);

}  // namespace gaussian_noise
