// The C library's (glibc's) rand() sequence, computed without the C library.
#pragma once

#include <array>
#include <cstdint>

namespace gaussian_noise {

// The C library's (glibc's) rand() sequence, computed without the C library and without its lock.
class RandSequence {
public:
    // The state srand(seed) leaves, 310 draws already thrown away.
    explicit RandSequence(std::uint32_t seed) noexcept;
    // The next draw, 0..2147483647, as rand() would return it.
    std::int32_t operator()() noexcept;
    // Moves on as if operator() had been called `draws` times.
    void skip(std::uint64_t draws) noexcept;

private:
    std::array<std::uint32_t, 34> ring_{};  // the last 31 words, oldest at front_
    unsigned front_ = 0;
};

// Whether rand() after srand(seed) gives RandSequence(seed)'s first draws (at least 64 compared).
// Seeds rand with srand(seed) again before it returns, so that rand() starts the table either way.
bool randFollowsSequence(std::uint32_t seed);

}  // namespace gaussian_noise
