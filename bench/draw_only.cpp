// draw_only [--sequence] MEAN VARIANCE RUNS SAMPLES: draws the samples the
// tool draws for the same arguments and second, one per cell, with the same
// batch step and math (the vector logf and cosf where the tool would use
// them), and prints their sum instead of writing a table. Its time is the
// floor for the tool's:
// everything but the number text and the file. The draws come from rand(), or
// with --sequence from RandSequence, the same draws without the C library's
// lock; the two times differ by what the lock costs.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <span>
#include <string_view>

#include "cli/command_line.h"
#include "draws/rand_sequence.h"
#include "draws/run_start.h"
#include "samples/gaussian_sample.h"
#include "samples/math_choice.h"
#include "table/cells.h"

namespace {

// The sum of one sample per cell, drawn as the tool draws them: a batch of
// pairs from `draws` (its fill()) at a time, turned into samples with the
// math the tool would choose.
template <typename Draws>
double sumOfSamples(const gaussian_noise::RunSettings& settings, Draws&& draws) {
    using namespace gaussian_noise;
    const SampleMath& math = chosenMath();
    std::int64_t left = runCellCount(settings);
    std::array<std::int32_t, 2 * maxMathBatch> drawn{};
    std::array<float, maxMathBatch> samples{};
    double sum = 0.0;
    while (left > 0) {
        const auto pairs = static_cast<std::size_t>(std::min<std::int64_t>(left, maxMathBatch));
        draws.fill(std::span(drawn.data(), 2 * pairs));
        const std::size_t made = samplesOfPairs({settings.mean, settings.variance}, std::span(drawn.data(), 2 * pairs),
                                                samples.data(), math);
        for (std::size_t i = 0; i < made; ++i) sum += static_cast<double>(samples[i]);
        left -= static_cast<std::int64_t>(made);
    }
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace gaussian_noise;
    auto arguments = std::span(argv, static_cast<std::size_t>(argc)).subspan(1);
    const bool fromSequence = !arguments.empty() && std::string_view(arguments.front()) == "--sequence";
    if (fromSequence) arguments = arguments.subspan(1);
    const CommandLine line = parseCommandLine(arguments);
    if (line.action != Action::run) {
        (void)std::fputs("usage: draw_only [--sequence] MEAN VARIANCE RUNS SAMPLES\n", stderr);
        return 2;
    }
    const RunSettings& settings = line.settings;
    const auto seed = static_cast<std::uint32_t>(std::time(nullptr));
    const double sum =
        fromSequence ? sumOfSamples(settings, RandSequence(seed)) : sumOfSamples(settings, CLibraryRand(seed));
    std::printf("sum of the samples: %.17g\n", sum);
    return EXIT_SUCCESS;
}
