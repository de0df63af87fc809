// Number text of the samples: our writeGeneral against snprintf("%g") and
// std::to_chars, each writing a sample and its comma one after another into a
// buffer as the tool does. Two data sets: samples of N(0, 1) as the tool draws
// them, and random signs and magnitudes spread evenly from 1e-30 to 1e30.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "samples/gaussian_sample.h"
#include "text/number_text.h"
#include "text/number_text_variants.h"

namespace {

// 16 KiB of samples and at most 64 KiB of text: both stay in the caches, so
// the numbers measure the formatting, not memory.
constexpr std::size_t sampleCount = 4096;
// Room per sample: the longest text, the comma and scratch bytes past them.
constexpr std::size_t roomPerSample = 32;

const std::vector<float>& normalSamples() {
    static const std::vector<float> samples = [] {
        std::srand(1);
        std::vector<float> drawn(sampleCount);
        std::generate(drawn.begin(), drawn.end(), [] { return gaussian_noise::generateGaussianNoise(0.0F, 1.0F); });
        return drawn;
    }();
    return samples;
}

const std::vector<float>& spreadSamples() {
    static const std::vector<float> samples = [] {
        std::mt19937 engine(1);
        std::uniform_real_distribution<double> decimalExponent(-30.0, 30.0);
        std::bernoulli_distribution negative(0.5);
        std::vector<float> drawn(sampleCount);
        for (float& sample : drawn) {
            const double magnitude = std::pow(10.0, decimalExponent(engine));
            sample = static_cast<float>(negative(engine) ? -magnitude : magnitude);
        }
        return drawn;
    }();
    return samples;
}

// Samples and bytes of text per second, from one pass's counts.
void reportThroughput(benchmark::State& state, std::size_t samples, std::size_t textSize) {
    const auto iterations = static_cast<std::int64_t>(state.iterations());
    state.SetItemsProcessed(iterations * static_cast<std::int64_t>(samples));
    state.SetBytesProcessed(iterations * static_cast<std::int64_t>(textSize));
}

template <class Format>
void formatSamples(benchmark::State& state, const std::vector<float>& samples, Format format) {
    std::vector<char> text(samples.size() * roomPerSample);
    std::size_t textSize = 0;
    for (auto iteration : state) {
        (void)iteration;
        char* end = text.data();
        for (const float sample : samples) {
            end = format(end, sample);
            *end++ = ',';
        }
        textSize = static_cast<std::size_t>(end - text.data());
        benchmark::DoNotOptimize(text.data());
        benchmark::ClobberMemory();
    }
    reportThroughput(state, samples.size(), textSize);
}

void writeGeneral(benchmark::State& state, const std::vector<float>& samples) {
    formatSamples(state, samples, [](char* out, float value) { return gaussian_noise::writeGeneral(out, value); });
}

void snprintfG(benchmark::State& state, const std::vector<float>& samples) {
    formatSamples(state, samples, [](char* out, float value) {
        return out + std::snprintf(out, roomPerSample, "%g", static_cast<double>(value));
    });
}

// The --lossless text: the tool's own, the same bytes as toCharsShortest.
void writeShortest(benchmark::State& state, const std::vector<float>& samples) {
    formatSamples(state, samples, [](char* out, float value) { return gaussian_noise::writeShortest(out, value); });
}

// The shortest text that reads back as the same float, as the standard
// library writes it.
void toCharsShortest(benchmark::State& state, const std::vector<float>& samples) {
    formatSamples(state, samples,
                  [](char* out, float value) { return std::to_chars(out, out + roomPerSample - 1, value).ptr; });
}

// Six significant digits in the notation %g picks: the same text as %g.
void toCharsGeneral6(benchmark::State& state, const std::vector<float>& samples) {
    formatSamples(state, samples, [](char* out, float value) {
        return std::to_chars(out, out + roomPerSample - 1, value, std::chars_format::general, 6).ptr;
    });
}

// writeGeneralCells through one variant, a batch of 256 cells at a time as
// the tool calls it.
void cells(benchmark::State& state, const gaussian_noise::CellWriterVariant& variant,
           const std::vector<float>& samples) {
    constexpr std::size_t batchSize = 256;
    std::vector<char> text(samples.size() * roomPerSample);
    std::size_t textSize = 0;
    for (auto iteration : state) {
        (void)iteration;
        char* end = text.data();
        for (std::size_t done = 0; done < samples.size(); done += batchSize) {
            end = variant.write(end, std::span(samples).subspan(done, std::min(batchSize, samples.size() - done)));
        }
        textSize = static_cast<std::size_t>(end - text.data());
        benchmark::DoNotOptimize(text.data());
        benchmark::ClobberMemory();
    }
    reportThroughput(state, samples.size(), textSize);
}

// One benchmark per variant this processor supports, of both kinds of cell
// and on both data sets, and the variants the tool uses in the context
// lines of the report.
const bool cellsRegistered = [] {
    benchmark::AddCustomContext("writeGeneralCells variant",
                                std::string(gaussian_noise::chosenCellWriterVariant().name));
    benchmark::AddCustomContext("writeShortestCells variant",
                                std::string(gaussian_noise::chosenShortestCellWriterVariant().name));
    const auto registerEach = [](const std::string& kind, std::span<const gaussian_noise::CellWriterVariant> list) {
        for (const auto& variant : list) {
            if (!variant.supported()) continue;
            const std::string name = kind + "/" + std::string(variant.name);
            benchmark::RegisterBenchmark((name + "/normal").c_str(), [&variant](benchmark::State& state) {
                cells(state, variant, normalSamples());
            });
            benchmark::RegisterBenchmark((name + "/spread").c_str(), [&variant](benchmark::State& state) {
                cells(state, variant, spreadSamples());
            });
        }
    };
    registerEach("cells", gaussian_noise::cellWriterVariants());
    registerEach("shortestCells", gaussian_noise::shortestCellWriterVariants());
    return true;
}();

BENCHMARK_CAPTURE(writeGeneral, normal, normalSamples());
BENCHMARK_CAPTURE(snprintfG, normal, normalSamples());
BENCHMARK_CAPTURE(writeShortest, normal, normalSamples());
BENCHMARK_CAPTURE(toCharsShortest, normal, normalSamples());
BENCHMARK_CAPTURE(toCharsGeneral6, normal, normalSamples());
BENCHMARK_CAPTURE(writeGeneral, spread, spreadSamples());
BENCHMARK_CAPTURE(snprintfG, spread, spreadSamples());
BENCHMARK_CAPTURE(writeShortest, spread, spreadSamples());
BENCHMARK_CAPTURE(toCharsShortest, spread, spreadSamples());
BENCHMARK_CAPTURE(toCharsGeneral6, spread, spreadSamples());

}  // namespace
