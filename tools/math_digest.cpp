// Prints a digest of logf(u) and cosf(6.2831855f * u), the C library calls of
// a draw, for every float u in [0, 1]: every value the draws can give them.
// Run it with and without GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2,-FMA (the
// SSE2 versions instead of the FMA ones) and compare the two lines.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main() {
    constexpr std::uint32_t oneBits = 0x3F800000;
    constexpr float tau = 6.2831855F;                // as in the generator
    std::uint64_t digest = 14695981039346656037ULL;  // FNV-style: xor, then multiply
    for (std::uint32_t bits = 0; bits <= oneBits; ++bits) {
        const auto u = std::bit_cast<float>(bits);
        const auto logarithm = std::bit_cast<std::uint32_t>(logf(u));
        const auto cosine = std::bit_cast<std::uint32_t>(cosf(tau * u));
        digest = (digest ^ ((std::uint64_t{logarithm} << 32) | cosine)) * 1099511628211ULL;
    }
    std::printf("logf and cosf of %u floats: digest %016llx\n", oneBits + 1, static_cast<unsigned long long>(digest));
    return EXIT_SUCCESS;
}
