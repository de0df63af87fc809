// Checks writeShortest, the --lossless text, against std::to_chars for every
// one of the 2^32 float bit patterns, split over the machine's processors.
// Prints the first mismatches and a summary; exits 1 if any pattern differs.
//
//   verify_shortest [THREADS] [FIRST LAST]
//
// FIRST and LAST (hexadecimal bit patterns, both checked) narrow the run to
// a range, for a quick look.
#include <atomic>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

#include "number_text.h"

namespace {

constexpr std::uint64_t chunkSize = std::uint64_t{1} << 20;

std::atomic<std::uint64_t> nextChunk{0};
std::atomic<std::uint64_t> mismatches{0};
std::mutex reportLock;

void checkChunks(std::uint64_t first, std::uint64_t end) {
    for (std::uint64_t chunk = nextChunk++; first + chunk * chunkSize < end; chunk = nextChunk++) {
        const std::uint64_t from = first + chunk * chunkSize;
        const std::uint64_t to = std::min(end, from + chunkSize);
        for (std::uint64_t pattern = from; pattern < to; ++pattern) {
            const auto value = std::bit_cast<float>(static_cast<std::uint32_t>(pattern));
            char ours[gaussian_noise::shortestRoom];
            char theirs[32];
            const std::string_view our(ours,
                                       static_cast<std::size_t>(gaussian_noise::writeShortest(ours, value) - ours));
            const std::string_view their(
                theirs, static_cast<std::size_t>(std::to_chars(theirs, theirs + 32, value).ptr - theirs));
            if (our != their && mismatches++ < 20) {
                const std::lock_guard<std::mutex> lock(reportLock);
                (void)std::printf("mismatch at 0x%08x: ours %.*s, to_chars %.*s\n", static_cast<unsigned>(pattern),
                                  static_cast<int>(our.size()), our.data(), static_cast<int>(their.size()),
                                  their.data());
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::span arguments(argv, static_cast<std::size_t>(argc));
    const unsigned threads = arguments.size() > 1 ? static_cast<unsigned>(std::strtoul(arguments[1], nullptr, 10))
                                                  : std::max(1U, std::thread::hardware_concurrency());
    std::uint64_t first = 0;
    std::uint64_t end = std::uint64_t{1} << 32;
    if (arguments.size() > 3) {
        first = std::strtoull(arguments[2], nullptr, 16);
        end = std::strtoull(arguments[3], nullptr, 16) + 1;
    }
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < std::max(1U, threads); ++i) workers.emplace_back(checkChunks, first, end);
    for (std::thread& worker : workers) worker.join();
    (void)std::printf("shortest text: %llu mismatches among %llu patterns\n",
                      static_cast<unsigned long long>(mismatches.load()), static_cast<unsigned long long>(end - first));
    return mismatches == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
