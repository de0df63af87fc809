// stream_writer MEAN VARIANCE RUNS SAMPLES: the straightforward way to write
// the tool's table, through an std::ofstream with its default formatting of
// a float (the text of %g, six significant digits). Same arguments, seed and
// draws as the tool, so for the same second its generated_noise.csv is the
// tool's, byte for byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <span>

#include "cli/command_line.h"
#include "samples/gaussian_sample.h"

int main(int argc, char** argv) {
    using namespace gaussian_noise;
    const CommandLine line = parseCommandLine(std::span(argv, static_cast<std::size_t>(argc)).subspan(1));
    if (line.action != Action::run) {
        (void)std::fputs("usage: stream_writer MEAN VARIANCE RUNS SAMPLES\n", stderr);
        return 2;
    }
    const RunSettings& settings = line.settings;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    std::ofstream out("generated_noise.csv");
    for (std::int32_t run = 0; run < settings.runs; ++run) {
        if (run != 0) out << '\n';
        for (std::int32_t cell = 0; cell < settings.samplesPerRun; ++cell) {
            out << generateGaussianNoise(settings.mean, settings.variance) << ',';
        }
    }
    out.close();
    if (!out) {
        (void)std::fputs("stream_writer: cannot write generated_noise.csv\n", stderr);
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
