// Prints the name of the math the tool would compute its samples with in
// this process: a vector variant's, or "scalar".
#include <cstdio>

#include "samples/math_choice.h"

int main() {
    using namespace gaussian_noise;
    const SampleMath& chosen = chosenMath();
    for (const MathVariant& variant : mathVariants()) {
        if (variant.math.log == chosen.log && variant.math.cos == chosen.cos) {
            std::printf("%.*s\n", static_cast<int>(variant.name.size()), variant.name.data());
            return 0;
        }
    }
    std::printf("scalar\n");
    return 0;
}
