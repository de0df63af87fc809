#include "seeded_table.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "run_tool.h"

namespace gaussian_noise::testing {
namespace {

// Hexadecimal text reads back as exactly the same float; inf and nan keep their sign.
std::string exactText(float value) {
    char text[64];
    const int size = std::snprintf(text, sizeof text, "%a", static_cast<double>(value));
    return {text, static_cast<std::size_t>(size)};
}

}  // namespace

std::string tableForSeed(unsigned seed, const TableShape& shape) {
    const TemporaryDirectory directory;
    const ToolRun run = runTool(
        directory.path(), {"--quiet", "--seed=" + std::to_string(seed), "--output=-", "--", exactText(shape.mean),
                           exactText(shape.variance), std::to_string(shape.runs), std::to_string(shape.samplesPerRun)});
    if (run.exitStatus != 0) throw std::runtime_error("the tool failed: " + run.err);
    return run.out;
}

}  // namespace gaussian_noise::testing
