// rejected_pair_seeds FIRST_SEED SEEDS PAIRS: for each seed from FIRST_SEED
// on, looks at the first PAIRS pairs of draws of its sequence and prints the
// seed and the index of every pair whose first draw is 0, the pairs a sample
// throws away. Pair p is draws 2p and 2p+1, counting thrown pairs too, so a
// table's sample k comes from pair k plus the number of pairs thrown before.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "draws/rand_sequence.h"

namespace {

std::optional<std::uint64_t> readCount(const char* text) {
    char* end = nullptr;
    const std::uint64_t value = std::strtoull(text, &end, 10);
    if (*text < '0' || *text > '9' || *end != '\0') return std::nullopt;
    return value;
}

int usage() {
    (void)std::fputs("usage: rejected_pair_seeds FIRST_SEED SEEDS PAIRS\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::span arguments(argv, static_cast<std::size_t>(argc));
    if (arguments.size() != 4) return usage();
    const std::optional<std::uint64_t> first = readCount(arguments[1]);
    const std::optional<std::uint64_t> seeds = readCount(arguments[2]);
    const std::optional<std::uint64_t> pairs = readCount(arguments[3]);
    if (!first || !seeds || !pairs || *first > UINT32_MAX || *seeds > std::uint64_t{UINT32_MAX} + 1 - *first) {
        return usage();
    }
    std::vector<std::uint64_t> thrown;
    for (std::uint64_t seed = *first; seed < *first + *seeds; ++seed) {
        gaussian_noise::RandSequence draw(static_cast<std::uint32_t>(seed));
        thrown.clear();
        for (std::uint64_t pair = 0; pair < *pairs; ++pair) {
            if (draw() == 0) thrown.push_back(pair);
            draw();
        }
        if (thrown.empty()) continue;
        std::string line = std::to_string(seed) + ":";
        for (const std::uint64_t pair : thrown) line += " " + std::to_string(pair);
        std::puts(line.c_str());
        (void)std::fflush(stdout);
    }
    return EXIT_SUCCESS;
}
