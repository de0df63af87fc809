// LD_PRELOAD shim whose gnu_get_libc_version() names the version that
// LIBC_VERSION_SHIM gives, as another C library would.
#include <cstdlib>

extern "C" const char* gnu_get_libc_version() {
    const char* version = std::getenv("LIBC_VERSION_SHIM");
    return version != nullptr ? version : "";
}
