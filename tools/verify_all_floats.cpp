// Checks writeGeneral against snprintf("%g") for every one of the 2^32 float
// bit patterns, split over the machine's cores. Prints the mismatches (the
// first few) and a summary; exits 1 if any pattern differs.
//
//   verify_all_floats [THREADS]
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "number_text.h"

namespace {

constexpr std::uint64_t patternCount = std::uint64_t{1} << 32;
constexpr std::uint64_t chunkSize = std::uint64_t{1} << 20;

std::atomic<std::uint64_t> nextChunk{0};
std::atomic<std::uint64_t> mismatches{0};
std::mutex reportLock;

void checkChunks() {
    char ours[gaussian_noise::generalRoom + 1];
    char theirs[64];
    for (std::uint64_t chunk = nextChunk++; chunk * chunkSize < patternCount; chunk = nextChunk++) {
        for (std::uint64_t bits = chunk * chunkSize; bits < (chunk + 1) * chunkSize; ++bits) {
            const auto value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
            *gaussian_noise::writeGeneral(ours, value) = '\0';
            (void)std::snprintf(theirs, sizeof theirs, "%g", static_cast<double>(value));
            if (std::strcmp(ours, theirs) != 0 && mismatches++ < 20) {
                const std::lock_guard<std::mutex> lock(reportLock);
                (void)std::printf("mismatch at 0x%08llx: ours %s, printf %s\n", static_cast<unsigned long long>(bits),
                                  ours, theirs);
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
    const unsigned threads =
        argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : std::thread::hardware_concurrency();
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < (threads == 0 ? 1 : threads); ++i) workers.emplace_back(checkChunks);
    for (std::thread& worker : workers) worker.join();
    std::printf("%llu of %llu float bit patterns differ from printf(\"%%g\")\n",
                static_cast<unsigned long long>(mismatches.load()), static_cast<unsigned long long>(patternCount));
    return mismatches == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
