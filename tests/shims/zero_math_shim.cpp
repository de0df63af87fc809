// LD_PRELOAD shim for the tests of a math library replaced at load time:
// logf or cosf, whichever ZERO_MATH names, returns 0 for every input; the
// other is the C library's.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace {

bool zeroed(const char* name) {
    const char* which = std::getenv("ZERO_MATH");
    return which != nullptr && std::strcmp(which, name) == 0;
}

float library(const char* name, float x) {
    using Function = float (*)(float);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): dlsym gives functions as void*
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name))(x);
}

}  // namespace

extern "C" float logf(float x) { return zeroed("logf") ? 0.0F : library("logf", x); }
extern "C" float cosf(float x) { return zeroed("cosf") ? 0.0F : library("cosf", x); }
