// Checks the --lossless text against std::to_chars for every one of the 2^32
// float bit patterns, through each variant of writeShortestCells this
// processor supports (the portable one is writeShortest and a comma), split
// over the machine's processors. Prints the first mismatches and a summary
// per variant, and each variant it cannot run with the reason; exits 1 if
// any pattern differs.
//
//   verify_shortest [THREADS]
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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
constexpr std::size_t blockSize = 4096;

std::vector<const CellWriterVariant*> checked;
std::vector<std::atomic<std::uint64_t>> mismatches;
std::atomic<std::uint64_t> nextChunk{0};
std::mutex reportLock;

// Reports the first cells of a block where a variant differs.
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
            (void)std::printf("%s: mismatch at 0x%08x: ours %.*s, to_chars %.*s\n",
                              std::string(checked[variant]->name).c_str(), std::bit_cast<std::uint32_t>(value),
                              static_cast<int>(our.size()), our.data(), static_cast<int>(their.size()), their.data());
        }
        if (ourEnd == std::string_view::npos) break;
        ourStart = ourEnd + 1;
        theirStart = theirEnd + 1;
    }
}

void checkChunks() {
    std::array<float, blockSize> values{};
    std::vector<char> theirs(blockSize * 32);
    std::vector<char> ours(blockSize * (gaussian_noise::shortestRoom + 1));
    for (std::uint64_t chunk = nextChunk++; chunk * chunkSize < patternCount; chunk = nextChunk++) {
        for (std::uint64_t block = chunk * chunkSize; block < (chunk + 1) * chunkSize; block += blockSize) {
            char* theirEnd = theirs.data();
            for (std::size_t i = 0; i < blockSize; ++i) {
                values[i] = std::bit_cast<float>(static_cast<std::uint32_t>(block + i));
                theirEnd = std::to_chars(theirEnd, theirEnd + 32, values[i]).ptr;
                *theirEnd++ = ',';
            }
            const std::string_view their(theirs.data(), static_cast<std::size_t>(theirEnd - theirs.data()));
            for (std::size_t variant = 0; variant < checked.size(); ++variant) {
                const char* ourEnd = checked[variant]->write(ours.data(), values);
                const std::string_view our(ours.data(), static_cast<std::size_t>(ourEnd - ours.data()));
                if (our != their) countMismatches(variant, values, our, their);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::span arguments(argv, static_cast<std::size_t>(argc));
    const unsigned threads = arguments.size() > 1 ? static_cast<unsigned>(std::strtoul(arguments[1], nullptr, 10))
                                                  : std::max(1U, std::thread::hardware_concurrency());
    for (const CellWriterVariant& variant : gaussian_noise::shortestCellWriterVariants()) {
        if (variant.supported()) {
            checked.push_back(&variant);
        } else {
            (void)std::printf("%s: skipped, needs instructions this processor lacks\n",
                              std::string(variant.name).c_str());
        }
    }
    mismatches = std::vector<std::atomic<std::uint64_t>>(checked.size());
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < std::max(1U, threads); ++i) workers.emplace_back(checkChunks);
    for (std::thread& worker : workers) worker.join();
    bool same = true;
    for (std::size_t variant = 0; variant < checked.size(); ++variant) {
        (void)std::printf("%s: %llu mismatches among %llu patterns\n", std::string(checked[variant]->name).c_str(),
                          static_cast<unsigned long long>(mismatches[variant].load()),
                          static_cast<unsigned long long>(patternCount));
        same = same && mismatches[variant] == 0;
    }
    return same ? EXIT_SUCCESS : EXIT_FAILURE;
}
