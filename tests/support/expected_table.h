// What the tool should write, computed in the test process: the samples for a
// seed from the reference account of the arithmetic (not the tool's
// generator), as text from printf or the standard library.
#pragma once

#include <functional>
#include <string>

#include "cli/run_settings.h"
#include "run_tool.h"

namespace gaussian_noise::testing {

// The table for a seed, each cell formatted by snprintf("%g") or, for
// lossless text, by std::to_chars.
std::string expectedTable(unsigned seed, float mean, float variance, int runs, int samplesPerRun,
                          CellText text = CellText::general);

// The table drawn from `draw` (0..2147483647 each) rather than from rand().
std::string expectedTable(const std::function<int()>& draw, float mean, float variance, int runs, int samplesPerRun,
                          CellText text = CellText::general);

// The samples for a seed as little-endian single-precision bytes, as the
// f32 format holds them.
std::string referenceSingles(unsigned seed, float mean, float variance, int cells);

// The tool seeds from the clock in whole seconds: one second of the run's
// span must have produced the table.
bool writtenWithClockSeed(const ToolRun& run, const std::string& table, float mean, float variance, int runs,
                          int samplesPerRun);

// The four echo lines for values as the tool writes them.
std::string echo(const std::string& mean, const std::string& variance, const std::string& runs,
                 const std::string& samples);

}  // namespace gaussian_noise::testing
