// logf and cosf of a batch of the generator's inputs, per input, for the C
// library's scalar functions and each vector variant this process may use,
// side by side in one run; and the check of the lanes on their checkpoints
// that a process makes once.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "draws/rand_sequence.h"
#include "samples/gaussian_sample.h"
#include "samples/math_checkpoints.h"
#include "samples/math_choice.h"
#include "samples/vector_math.h"

namespace {

using namespace gaussian_noise;

// A batch of first uniforms and one of angles, as the generator makes them.
struct Inputs {
    std::array<float, maxMathBatch> u1s{};
    std::array<float, maxMathBatch> thetas{};
    Inputs() {
        RandSequence draws(1);
        for (std::size_t i = 0; i < maxMathBatch; ++i) {
            const std::int32_t first = draws() | 1;  // never 0: a kept pair
            u1s[i] = static_cast<float>(static_cast<double>(first) / 2147483647.0);
            thetas[i] = 6.2831855F * static_cast<float>(static_cast<double>(draws()) / 2147483647.0);
        }
    }
};

void batch(benchmark::State& state, MathBatch function, bool logarithm) {
    static const Inputs inputs;
    std::array<float, maxMathBatch> out{};
    const float* in = logarithm ? inputs.u1s.data() : inputs.thetas.data();
    for (auto iteration : state) {
        (void)iteration;
        function(in, out.data(), maxMathBatch);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(maxMathBatch));
}

#if defined(__x86_64__)
// The check a process makes before it uses the lanes, once per run.
void checkpoints(benchmark::State& state) {
    const auto logf = [](float x) { return ::logf(x); };
    const auto cosf = [](float x) { return ::cosf(x); };
    for (auto iteration : state) {
        (void)iteration;
        benchmark::DoNotOptimize(sameBitsOn(laneLogfAvx2, logf, logfCheckpoints) &&
                                 sameBitsOn(laneCosfAvx2, cosf, cosfCheckpoints));
    }
}
#endif

[[maybe_unused]] const bool registered = [] {
    auto add = [](const std::string& name, MathBatch log, MathBatch cos) {
        benchmark::RegisterBenchmark(("logf/" + name).c_str(), batch, log, true);
        benchmark::RegisterBenchmark(("cosf/" + name).c_str(), batch, cos, false);
    };
    add("scalar", scalarMath.log, scalarMath.cos);
    for (const MathVariant& variant : mathVariants()) {
        if (variant.runnable()) add(std::string(variant.name), variant.math.log, variant.math.cos);
    }
#if defined(__x86_64__)
    if (mathVariants().front().runnable()) benchmark::RegisterBenchmark("checkpoints/avx2-lanes", checkpoints);
#endif
    return true;
}();

}  // namespace
