// LD_PRELOAD shim for the out-of-memory tests: the C library's allocations
// fail from the Nth call on (counted from 0, every thread's calls together),
// as when memory runs out, where N is MEMORY_SHIM_FAIL_FROM; without it
// they never fail. malloc, calloc, realloc and the aligned allocations are
// replaced (C++'s operator new calls malloc); free is the C library's.
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

// The C library's own allocator, under the names it exports for that.
extern "C" void* __libc_malloc(std::size_t size);                           // NOLINT(bugprone-reserved-identifier)
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);        // NOLINT(bugprone-reserved-identifier)
extern "C" void* __libc_realloc(void* old, std::size_t size);               // NOLINT(bugprone-reserved-identifier)
extern "C" void* __libc_memalign(std::size_t alignment, std::size_t size);  // NOLINT(bugprone-reserved-identifier)

namespace {

std::atomic<unsigned long> calls{0};

// Whether this call fails; getenv allocates nothing.
bool fails() {
    const char* from = std::getenv("MEMORY_SHIM_FAIL_FROM");
    if (from == nullptr || calls.fetch_add(1) < std::strtoul(from, nullptr, 10)) return false;
    errno = ENOMEM;
    return true;
}

}  // namespace

// The C library names the parameters with reserved identifiers.
// NOLINTBEGIN(readability-inconsistent-declaration-parameter-name)
extern "C" void* malloc(std::size_t size) { return fails() ? nullptr : __libc_malloc(size); }
extern "C" void* calloc(std::size_t count, std::size_t size) { return fails() ? nullptr : __libc_calloc(count, size); }
extern "C" void* realloc(void* old, std::size_t size) { return fails() ? nullptr : __libc_realloc(old, size); }
extern "C" void* memalign(std::size_t alignment, std::size_t size) {
    return fails() ? nullptr : __libc_memalign(alignment, size);
}
extern "C" void* aligned_alloc(std::size_t alignment, std::size_t size) { return memalign(alignment, size); }
extern "C" int posix_memalign(void** result, std::size_t alignment, std::size_t size) {
    void* const memory = memalign(alignment, size);
    if (memory == nullptr) return ENOMEM;
    *result = memory;
    return 0;
}
// NOLINTEND(readability-inconsistent-declaration-parameter-name)
