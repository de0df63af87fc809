// Prints the name of the math the tool would compute its samples with in
// this process: a vector variant's, or "scalar".
#include <algorithm>
#include <cstdio>
#include <span>

#include "samples/math_choice.h"

int main() {
    using namespace gaussian_noise;
    const SampleMath& chosen = chosenMath();
    const std::span<const MathVariant> variants = mathVariants();
    const auto variant = std::find_if(variants.begin(), variants.end(), [&](const MathVariant& each) {
        return each.math.log == chosen.log && each.math.cos == chosen.cos;
    });
    if (variant == variants.end()) {
        std::printf("scalar\n");
    } else {
        std::printf("%.*s\n", static_cast<int>(variant->name.size()), variant->name.data());
    }
    return 0;
}
