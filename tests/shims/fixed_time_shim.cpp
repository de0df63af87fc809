// LD_PRELOAD shim: time() always returns the same second, so programs started
// at different moments seed rand() alike and draw the same samples. The
// second is FIXED_TIME when that is set, else 1700000000
// (2023-11-14 22:13:20 UTC).
#include <cstdlib>
#include <ctime>

// The C library names the parameter with a reserved identifier.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" std::time_t time(std::time_t* result) noexcept {
    const char* setting = std::getenv("FIXED_TIME");
    const std::time_t second = setting != nullptr ? std::strtoll(setting, nullptr, 10) : 1700000000;
    if (result != nullptr) *result = second;
    return second;
}
