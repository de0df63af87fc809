// One sample's draw, and its two parts: the two draws, and the Box–Muller
// arithmetic (logf, cosf, square roots) on uniform draws taken from a table.
// The draws come from rand(), which takes the C library's lock, and from
// RandSequence, the same sequence without it: the difference is the lock's cost.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "draws/rand_sequence.h"
#include "samples/gaussian_sample.h"

namespace {

void generateGaussianNoise(benchmark::State& state) {
    std::srand(1);
    for (auto iteration : state) {
        (void)iteration;
        benchmark::DoNotOptimize(gaussian_noise::generateGaussianNoise(0.0F, 1.0F));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(generateGaussianNoise);

void twoRandCalls(benchmark::State& state) {
    std::srand(1);
    for (auto iteration : state) {
        (void)iteration;
        benchmark::DoNotOptimize(std::rand());
        benchmark::DoNotOptimize(std::rand());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(twoRandCalls);

void gaussianSampleFromSequence(benchmark::State& state) {
    gaussian_noise::RandSequence sequence(1);
    for (auto iteration : state) {
        (void)iteration;
        benchmark::DoNotOptimize(gaussian_noise::gaussianSample(0.0F, 1.0F, sequence));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(gaussianSampleFromSequence);

void twoSequenceDraws(benchmark::State& state) {
    gaussian_noise::RandSequence sequence(1);
    for (auto iteration : state) {
        (void)iteration;
        benchmark::DoNotOptimize(sequence());
        benchmark::DoNotOptimize(sequence());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(twoSequenceDraws);

// The draws of a batch, 512 at a time, through each group kernel the
// processor runs (the others report an error).
void sequenceFill(benchmark::State& state) {
    const gaussian_noise::GroupKernel& kernel =
        gaussian_noise::groupKernelVariants()[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(kernel.name);
    if (!kernel.supported()) {
        state.SkipWithError("needs instructions this processor lacks");
        return;
    }
    gaussian_noise::RandSequence sequence(1);
    std::vector<std::int32_t> draws(512);
    for (auto iteration : state) {
        (void)iteration;
        sequence.fill(draws, kernel);
        benchmark::DoNotOptimize(draws.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 512);
}
BENCHMARK(sequenceFill)->DenseRange(0, static_cast<int>(gaussian_noise::groupKernelVariants().size()) - 1);

// One skip of 10^6 or 10^12 draws, as a thread does to reach its share.
void sequenceSkip(benchmark::State& state) {
    gaussian_noise::RandSequence sequence(1);
    for (auto iteration : state) {
        (void)iteration;
        sequence.skip(static_cast<std::uint64_t>(state.range(0)));
        benchmark::DoNotOptimize(sequence());
    }
}
BENCHMARK(sequenceSkip)->Arg(1'000'000)->Arg(1'000'000'000'000);

void boxMullerOnTableDraws(benchmark::State& state) {
    // 32768 pairs, too many for the branch predictors to learn the branches
    // of logf and cosf by heart. Never 0, so no pair is rejected.
    constexpr std::size_t drawCount = std::size_t{1} << 16;
    static const std::vector<int> draws = [] {
        std::srand(1);
        std::vector<int> table(drawCount);
        std::generate(table.begin(), table.end(), [] { return std::rand() | 1; });
        return table;
    }();
    std::size_t next = 0;
    const auto draw = [&next] {
        const int value = draws[next];
        next = (next + 1) % drawCount;
        return value;
    };
    for (auto iteration : state) {
        (void)iteration;
        benchmark::DoNotOptimize(gaussian_noise::gaussianSample(0.0F, 1.0F, draw));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(boxMullerOnTableDraws);

}  // namespace
