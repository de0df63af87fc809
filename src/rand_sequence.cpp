#include "rand_sequence.h"

#include <cstdlib>

namespace gaussian_noise {
namespace {

constexpr unsigned words = 31;

}  // namespace

RandSequence::RandSequence(std::uint32_t seed) noexcept {
    std::array<std::int32_t, 34> start{};
    start[0] = seed == 0 ? 1 : static_cast<std::int32_t>(seed);
    for (unsigned i = 1; i < words; ++i) {
        const std::int32_t hi = start[i - 1] / 127773;
        const std::int32_t lo = start[i - 1] % 127773;
        std::int32_t word = 16807 * lo - 2836 * hi;
        if (word < 0) word += 2147483647;
        start[i] = word;
    }
    for (unsigned i = words; i < 34; ++i) start[i] = start[i - words];
    for (unsigned i = 0; i < words; ++i) ring_[i] = static_cast<std::uint32_t>(start[i + 3]);
    skip(310);
}

std::int32_t RandSequence::operator()() noexcept {
    const std::uint32_t word = ring_[front_] + ring_[(front_ + words - 3) % words];
    ring_[front_] = word;
    front_ = (front_ + 1) % words;
    return static_cast<std::int32_t>(word >> 1);
}

void RandSequence::skip(std::uint64_t draws) noexcept {
    for (; draws != 0; --draws) (void)(*this)();
}

bool randFollowsSequence(std::uint32_t seed) {
    RandSequence copy(seed);
    std::srand(seed);
    bool same = true;
    for (int i = 0; i < 64; ++i) same = std::rand() == copy() && same;
    std::srand(seed);
    return same;
}

}  // namespace gaussian_noise
