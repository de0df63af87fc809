// LD_PRELOAD shim for the tests of a C library whose rand() is not the
// sequence the tool can compute: srand() and rand() become a linear
// congruential generator, state = state * 1103515245 + 12345 modulo 2^31,
// each draw the new state. With LCG_RAND_IGNORES_SRAND set, srand() does
// nothing and the state starts at 1.
#include <cstdint>
#include <cstdlib>

namespace {

std::uint32_t state = 1;  // the tool draws from one thread when rand() is not its own sequence

}  // namespace

// The C library names the parameter with a reserved identifier.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" void srand(unsigned seed) noexcept {
    if (std::getenv("LCG_RAND_IGNORES_SRAND") == nullptr) state = seed;
}

extern "C" int rand() noexcept {
    state = (state * 1103515245U + 12345U) & 0x7fffffffU;
    return static_cast<int>(state);
}
