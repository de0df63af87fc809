// LD_PRELOAD shim: time() always returns the same second, so programs started
// at different moments seed rand() alike and draw the same samples.
#include <ctime>

// The C library names the parameter with a reserved identifier.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" std::time_t time(std::time_t* result) noexcept {
    constexpr std::time_t fixedSecond = 1700000000;  // 2023-11-14 22:13:20 UTC
    if (result != nullptr) *result = fixedSecond;
    return fixedSecond;
}
