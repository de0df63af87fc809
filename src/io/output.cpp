#include "io/output.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <ctime>

namespace gaussian_noise {
namespace {

// Opens the named file for writing. Where standard input, output or error
// was closed, the file would take its descriptor: it is moved above them.
// -1 on failure, errno set.
int openFile(const char* name) noexcept {
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = errno;
    ::close(fd);
    errno = error;
    return moved;
}

}  // namespace

int writeAll(int fd, std::string_view data) noexcept {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return ENOSPC;  // it would take nothing the next time either
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int writeAllNoSignal(int fd, std::string_view data) noexcept {
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    sigset_t before;
    if (::pthread_sigmask(SIG_BLOCK, &brokenPipe, &before) != 0) return writeAll(fd, data);
    const int error = writeAll(fd, data);
    // A write to a pipe with no reader leaves SIGPIPE pending on this
    // thread: taken here, unless one was blocked and pending already.
    sigset_t pending;
    if (error == EPIPE && sigismember(&before, SIGPIPE) == 0 && ::sigpending(&pending) == 0 &&
        sigismember(&pending, SIGPIPE) == 1) {
        const timespec now{};
        (void)::sigtimedwait(&brokenPipe, nullptr, &now);
    }
    (void)::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return error;
}

bool isTerminal(std::string_view name) noexcept {
    if (name == standardOutputName) return ::isatty(STDOUT_FILENO) != 0;
    // Only a character device can be a terminal, and opening one has no
    // effect on it; a FIFO's reader, say, would see its writer come and go.
    struct stat status {};
    if (::stat(name.data(), &status) != 0 || !S_ISCHR(status.st_mode)) return false;
    const int fd = ::open(name.data(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool terminal = ::isatty(fd) != 0;
    ::close(fd);
    return terminal;
}

Output::Output(std::string_view name) noexcept : name_(name) {
    if (name == standardOutputName) {
        fd_ = STDOUT_FILENO;
        return;
    }
    fd_ = openFile(name.data());
    openError_ = fd_ < 0 ? errno : 0;
    owned_ = fd_ >= 0;
}

Output::~Output() {
    if (owned_) ::close(fd_);
}

Message Output::name() const noexcept {
    if (name_ == standardOutputName) return "standard output";
    return Message().quote(name_);
}

int Output::close() noexcept {
    if (!owned_) return 0;
    owned_ = false;
    return ::close(fd_) == 0 ? 0 : errno;
}

int BlockWriter::hand(std::string_view text) noexcept {
    const int failure = fd_ >= 0 ? writeAll(fd_, text) : sink_(text);
    if (failure != 0) return failure;
    written_ += text.size();
    return afterBlock_();
}

bool BlockWriter::flush() noexcept {
    if (error_ == 0) {
        error_ = hand(std::string_view(begin_, static_cast<std::size_t>(end_ - begin_)));
        end_ = begin_;
    }
    return error_ == 0;
}

bool BlockWriter::writeThrough(std::string_view text) noexcept {
    if (!flush()) return false;
    error_ = hand(text);
    return error_ == 0;
}

bool writeToOutput(std::string_view name, FunctionRef<bool(BlockWriter&, int)> write, AfterBlock afterBlock,
                   int* failure) {
    const auto fail = [failure](std::string_view action, const Message& what, int error) {
        reportSystemError(action, what, error);
        if (failure != nullptr) *failure = error;
        return false;
    };
    Output output(name);
    if (output.fd() < 0) return fail("cannot open", output.name(), output.openError());
    static std::array<char, std::size_t{1} << 20> buffer;
    BlockWriter out(output.fd(), buffer, afterBlock);
    if (!write(out, output.fd())) return fail("cannot write", output.name(), out.error());
    if (const int error = output.close(); error != 0) return fail("cannot close", output.name(), error);
    return true;
}

}  // namespace gaussian_noise
