// format_cells VARIANT normal|spread: writes 2^20 samples as cells through
// one variant of writeGeneralCells, 256 at a time as the tool does, and
// prints the text's size. Made for counting instructions per cell:
//
//   valgrind --tool=callgrind --toggle-collect='*writeGeneralCells*'
//            build/bench/bench/format_cells avx2 normal
//
// (one command line), then divide the total by 1048576.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <span>
#include <string_view>
#include <vector>

#include "samples/gaussian_sample.h"
#include "text/number_text.h"
#include "text/number_text_variants.h"

int main(int argc, char** argv) {
    using namespace gaussian_noise;
    const auto arguments = std::span(argv, static_cast<std::size_t>(argc));
    const CellWriterVariant* chosen = nullptr;
    for (const CellWriterVariant& variant : cellWriterVariants()) {
        if (argc == 3 && variant.name == arguments[1] && variant.supported()) chosen = &variant;
    }
    const bool normal = argc == 3 && std::string_view(arguments[2]) == "normal";
    if (chosen == nullptr || (!normal && std::string_view(arguments[2]) != "spread")) {
        (void)std::fputs("usage: format_cells VARIANT normal|spread (a variant this processor supports)\n", stderr);
        return 2;
    }
    // The same data sets as the microbenchmarks: N(0, 1) samples, or random
    // signs and magnitudes spread evenly from 1e-30 to 1e30.
    std::vector<float> samples(std::size_t{1} << 20);
    std::srand(1);
    std::mt19937 engine(1);
    std::uniform_real_distribution<double> decimalExponent(-30.0, 30.0);
    std::bernoulli_distribution negative(0.5);
    for (float& sample : samples) {
        if (normal) {
            sample = generateGaussianNoise(0.0F, 1.0F);
        } else {
            const double magnitude = std::pow(10.0, decimalExponent(engine));
            sample = static_cast<float>(negative(engine) ? -magnitude : magnitude);
        }
    }
    std::vector<char> text(samples.size() * generalRoom);
    char* end = text.data();
    constexpr std::size_t batchSize = 256;
    for (std::size_t done = 0; done < samples.size(); done += batchSize) {
        end = chosen->write(end, std::span<const float>(samples).subspan(done, batchSize));
    }
    std::printf("%td bytes of text\n", end - text.data());
    return EXIT_SUCCESS;
}
