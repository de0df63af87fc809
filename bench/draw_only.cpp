// draw_only MEAN VARIANCE RUNS SAMPLES: draws the samples the tool draws for
// the same arguments and second, one per cell, and prints their sum instead of
// writing a table. Its time is the floor for the tool's: everything but the
// number text and the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <span>

#include "command_line.h"
#include "generator.h"

int main(int argc, char** argv) {
    using namespace gaussian_noise;
    const CommandLine line = parseCommandLine(std::span(argv, static_cast<std::size_t>(argc)).subspan(1));
    if (line.action != Action::run) {
        (void)std::fputs("usage: draw_only MEAN VARIANCE RUNS SAMPLES\n", stderr);
        return 2;
    }
    const RunSettings& settings = line.settings;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    double sum = 0.0;
    for (std::int32_t run = 0; run < settings.runs; ++run) {
        for (std::int32_t cell = 0; cell < settings.samplesPerRun; ++cell) {
            sum += static_cast<double>(generateGaussianNoise(settings.mean, settings.variance));
        }
    }
    std::printf("sum of the samples: %.17g\n", sum);
    return EXIT_SUCCESS;
}
