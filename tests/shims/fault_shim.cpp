// LD_PRELOAD shim for the write-path tests: makes chosen write() calls of the
// program it is loaded into short or interrupted, and its close() calls fail,
// as the environment asks.
//   FAULT_SHIM_WRITES  one letter per write() call, in the order of the calls:
//                      's' writes only the first half (at least one byte),
//                      'i' fails with EINTR and writes nothing, 'f' fails
//                      with ENOSPC and writes nothing, 'z' returns 0 and
//                      writes nothing, any other
//                      letter writes normally, as do the calls past its end.
//   FAULT_SHIM_CLOSE   when set, close() of a descriptor from 3 up closes it
//                      and then fails with EIO, as a file system reporting a
//                      deferred write error does.
//   FAULT_SHIM_NO_DEV_NULL  when set, open() of /dev/null fails with ENOENT,
//                      as in a container whose /dev is empty.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

std::size_t writeCalls = 0;  // the programs tested write from one thread alone

char nextWriteFault() {
    const std::size_t call = writeCalls++;
    const char* faults = std::getenv("FAULT_SHIM_WRITES");
    return faults != nullptr && call < std::strlen(faults) ? faults[call] : '.';
}

}  // namespace

// The system calls themselves, through syscall(): the C library's own
// write() and close() are the symbols this shim takes the place of.
// The C library names the parameters with reserved identifiers.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" ssize_t write(int fd, const void* data, std::size_t size) {
    const char fault = nextWriteFault();
    if (fault == 'i') {
        errno = EINTR;
        return -1;
    }
    if (fault == 'f') {
        errno = ENOSPC;
        return -1;
    }
    if (fault == 'z') return 0;
    if (fault == 's') size -= size / 2;
    return static_cast<ssize_t>(syscall(SYS_write, fd, data, size));
}

extern "C" int close(int fd) {
    const auto result = static_cast<int>(syscall(SYS_close, fd));
    if (result == 0 && fd > STDERR_FILENO && std::getenv("FAULT_SHIM_CLOSE") != nullptr) {
        errno = EIO;
        return -1;
    }
    return result;
}

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);  // NOLINT(clang-analyzer-valist.Uninitialized): started just above
        va_end(arguments);
    }
    if (std::getenv("FAULT_SHIM_NO_DEV_NULL") != nullptr && std::strcmp(path, "/dev/null") == 0) {
        errno = ENOENT;
        return -1;
    }
    return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}
