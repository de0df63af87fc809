// draw_only [--sequence] MEAN VARIANCE RUNS SAMPLES: draws the samples the
// tool draws for the same arguments and second, one per cell, and prints their
// sum instead of writing a table. Its time is the floor for the tool's:
// everything but the number text and the file. The draws come from rand(), or
// with --sequence from RandSequence, the same draws without the C library's
// lock; the two times differ by what the lock costs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <span>
#include <string_view>

#include "command_line.h"
#include "gaussian_sample.h"
#include "rand_sequence.h"

namespace {

// The sum of one sample per cell, each from draws of `draw`.
template <typename Draw>
double sumOfSamples(const gaussian_noise::RunSettings& settings, Draw&& draw) {
    double sum = 0.0;
    for (std::int32_t run = 0; run < settings.runs; ++run) {
        for (std::int32_t cell = 0; cell < settings.samplesPerRun; ++cell) {
            sum += static_cast<double>(gaussian_noise::gaussianSample(settings.mean, settings.variance, draw));
        }
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
    std::srand(seed);
    const double sum =
        fromSequence ? sumOfSamples(settings, RandSequence(seed)) : sumOfSamples(settings, [] { return std::rand(); });
    std::printf("sum of the samples: %.17g\n", sum);
    return EXIT_SUCCESS;
}
