// Checks the number text against snprintf("%g") for every one of the 2^32
// float bit patterns, through each variant of writeGeneralCells (the
// portable one is writeGeneral and a comma), split over the machine's cores.
// Prints the mismatches (the first few) and a summary per variant; exits 1 if
// any pattern differs.
//
//   verify_all_floats [VARIANT|all] [THREADS]
//
// VARIANT is a name from cellWriterVariants(); `all` (the default) checks
// every variant this processor supports against one printf text.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "number_text.h"
#include "number_text_variants.h"

namespace {

using gaussian_noise::CellWriterVariant;

constexpr std::uint64_t patternCount = std::uint64_t{1} << 32;
constexpr std::uint64_t chunkSize = std::uint64_t{1} << 20;
constexpr std::size_t blockSize = 4096;  // values written by one call

std::vector<const CellWriterVariant*> checked;
std::vector<std::atomic<std::uint64_t>> mismatches;
std::atomic<std::uint64_t> nextChunk{0};
std::mutex reportLock;

// Compares a variant's cells with printf's, one cell at a time.
void countMismatches(std::size_t variant, std::span<const float> values, std::string_view ours,
                     std::string_view theirs) {
    std::size_t ourStart = 0;
    std::size_t theirStart = 0;
    for (const float value : values) {
        const std::size_t ourEnd = ours.find(',', ourStart);
        const std::size_t theirEnd = theirs.find(',', theirStart);
        const std::string_view our = ours.substr(ourStart, ourEnd - ourStart);
        const std::string_view their = theirs.substr(theirStart, theirEnd - theirStart);
        if (our != their && mismatches[variant]++ < 20) {
            const std::lock_guard<std::mutex> lock(reportLock);
            (void)std::printf("%s: mismatch at 0x%08x: ours %.*s, printf %.*s\n",
                              std::string(checked[variant]->name).c_str(), std::bit_cast<std::uint32_t>(value),
                              static_cast<int>(our.size()), our.data(), static_cast<int>(their.size()), their.data());
        }
        if (ourEnd == std::string_view::npos) break;  // the variant wrote too few cells
        ourStart = ourEnd + 1;
        theirStart = theirEnd + 1;
    }
}

void checkChunks() {
    std::array<float, blockSize> values{};
    std::vector<char> theirs(blockSize * 32);
    std::vector<char> ours(blockSize * gaussian_noise::generalRoom);
    for (std::uint64_t chunk = nextChunk++; chunk * chunkSize < patternCount; chunk = nextChunk++) {
        for (std::uint64_t block = chunk * chunkSize; block < (chunk + 1) * chunkSize; block += blockSize) {
            char* theirEnd = theirs.data();
            for (std::size_t i = 0; i < blockSize; ++i) {
                values[i] = std::bit_cast<float>(static_cast<std::uint32_t>(block + i));
                theirEnd += std::snprintf(theirEnd, 32, "%g,", static_cast<double>(values[i]));
            }
            const std::string_view their(theirs.data(), static_cast<std::size_t>(theirEnd - theirs.data()));
            for (std::size_t variant = 0; variant < checked.size(); ++variant) {
                const char* ourEnd = checked[variant]->write(ours.data(), values);
                const std::string_view our(ours.data(), static_cast<std::size_t>(ourEnd - ours.data()));
                if (our != their) countMismatches(variant, values, our, their);
            }
        }
        if ((chunk + 1) % 512 == 0) {
            const std::lock_guard<std::mutex> lock(reportLock);
            (void)std::fprintf(stderr, "%llu of %llu chunks started\n", static_cast<unsigned long long>(chunk) + 1,
                               static_cast<unsigned long long>(patternCount / chunkSize));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string_view variantName = "all";
    unsigned threads = std::thread::hardware_concurrency();
    for (const std::string_view argument : std::span(argv, static_cast<std::size_t>(argc)).subspan(1)) {
        if (!argument.empty() &&
            std::all_of(argument.begin(), argument.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            threads = static_cast<unsigned>(std::strtoul(argument.data(), nullptr, 10));
        } else {
            variantName = argument;
        }
    }
    for (const CellWriterVariant& variant : gaussian_noise::cellWriterVariants()) {
        if ((variantName == "all" && variant.supported()) || variant.name == variantName) checked.push_back(&variant);
    }
    if (checked.empty()) {
        (void)std::fprintf(stderr, "verify_all_floats: no variant '%s'\n", std::string(variantName).c_str());
        return EXIT_FAILURE;
    }
    if (!checked.front()->supported()) {
        (void)std::fprintf(stderr, "verify_all_floats: this processor cannot run '%s'\n",
                           std::string(checked.front()->name).c_str());
        return EXIT_FAILURE;
    }
    mismatches = std::vector<std::atomic<std::uint64_t>>(checked.size());

    std::vector<std::thread> workers;
    for (unsigned i = 0; i < (threads == 0 ? 1 : threads); ++i) workers.emplace_back(checkChunks);
    for (std::thread& worker : workers) worker.join();
    bool allMatch = true;
    for (std::size_t variant = 0; variant < checked.size(); ++variant) {
        std::printf("%s: %llu of %llu float bit patterns differ from printf(\"%%g\")\n",
                    std::string(checked[variant]->name).c_str(),
                    static_cast<unsigned long long>(mismatches[variant].load()),
                    static_cast<unsigned long long>(patternCount));
        allMatch = allMatch && mismatches[variant] == 0;
    }
    return allMatch ? EXIT_SUCCESS : EXIT_FAILURE;
}
