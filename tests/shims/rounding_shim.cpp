// LD_PRELOAD shim that sets the rounding mode to upward before the program's
// main runs, as any library's constructor may.
#include <cfenv>

namespace {

[[gnu::constructor]] void roundUpward() { std::fesetround(FE_UPWARD); }

}  // namespace
