// cells_variant: prints the name of the writeGeneralCells variant that the
// tool uses on this processor, for the reports of the timings.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "text/number_text_variants.h"

int main() {
    std::puts(std::string(gaussian_noise::chosenCellWriterVariant().name).c_str());
    return EXIT_SUCCESS;
}
