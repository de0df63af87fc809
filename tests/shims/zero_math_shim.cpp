// LD_PRELOAD shims for the tests of a math library replaced at load time,
// one function each, as the build names it (REPLACES_LOGF or REPLACES_COSF):
// it returns 0 for the one input whose float bits MATH_SHIM_INPUT gives in
// hexadecimal, and the C library's result for every other. The process
// keeps the C library's own for the other function.
#include <dlfcn.h>

#include <bit>
#include <cstdint>
#include <cstdlib>

namespace {

float replaced(const char* name, float x) {
    const char* input = std::getenv("MATH_SHIM_INPUT");
    if (input != nullptr && std::bit_cast<std::uint32_t>(x) == std::strtoul(input, nullptr, 16)) return 0.0F;
    using Function = float (*)(float);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): dlsym gives functions as void*
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name))(x);
}

}  // namespace

#if defined(REPLACES_LOGF)
extern "C" float logf(float x) { return replaced("logf", x); }
#elif defined(REPLACES_COSF)
extern "C" float cosf(float x) { return replaced("cosf", x); }
#endif
