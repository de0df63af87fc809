// Where the table goes, from open to close: a file opened by name or standard
// output, the writes that hand all of a text to the system, and the buffer
// that hands the table over in large blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "cli/messages.h"
#include "function_ref.h"

namespace gaussian_noise {

// The output name that stands for standard output.
inline constexpr std::string_view standardOutputName = "-";

// Writes all of `data` to the file descriptor, retrying short writes and
// interrupted calls. Returns 0, or the errno of the failure; a write that
// takes nothing is taken as a full device (ENOSPC).
int writeAll(int fd, std::string_view data) noexcept;

// The same, but a pipe with no reader is a failure like any other (EPIPE),
// not a signal that ends the process: for reports on standard error, which
// must never fail the table.
int writeAllNoSignal(int fd, std::string_view data) noexcept;

// Whether the output `name` would name is a terminal ("-": standard output),
// found without creating, truncating or opening anything but a character
// device, so that it can be asked before anything is written.
bool isTerminal(std::string_view name) noexcept;

// The table's destination: the file `name` names, created or truncated, or
// standard output for "-". A file is opened with a descriptor above standard
// error, so that the echo, messages and progress never land in it where a
// standard descriptor was closed, and closed by close() or at the end of
// the object's life.
class Output {
public:
    // `name` is read up to its terminating null character: a literal or an
    // argument of the command line.
    explicit Output(std::string_view name) noexcept;
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    Output(Output&&) = delete;
    Output& operator=(Output&&) = delete;

    // The descriptor, or -1 when the file could not be opened.
    [[nodiscard]] int fd() const noexcept { return fd_; }
    // The errno of the failed open, or 0.
    [[nodiscard]] int openError() const noexcept { return openError_; }
    // The output as messages name it: "standard output", or the file's name quoted.
    [[nodiscard]] Message name() const noexcept;
    // Closes a file (standard output stays open). 0, or the errno of the failure.
    int close() noexcept;

private:
    std::string_view name_;
    int fd_ = -1;
    int openError_ = 0;
    bool owned_ = false;  // a file this object opened and has not closed
};

// Takes one block of the table, all of it or none: returns 0, or the errno
// that stops the table. For a table that goes to memory (the Python module).
using BlockSink = FunctionRef<int(std::string_view)>;
// Asked after each block the system took: 0 to go on, or the errno that
// stops the table as a failed write (the Python module's check for Ctrl-C).
using AfterBlock = FunctionRef<int()>;

// Collects text in a caller's buffer and writes it out whenever it fills:
// to a file descriptor, or to a sink. After the first failed write it keeps
// the errno and writes nothing more.
class BlockWriter {
public:
    BlockWriter(int fd, std::span<char> buffer, AfterBlock afterBlock = {}) noexcept
        : BlockWriter(fd, BlockSink{}, buffer, afterBlock) {}
    BlockWriter(BlockSink sink, std::span<char> buffer) noexcept : BlockWriter(-1, sink, buffer, AfterBlock{}) {}

    // Makes room for `size` more bytes, flushing first when the buffer is too
    // full. False when that flush fails, and false at once, flushing nothing,
    // when `size` is more than the whole buffer: error() then stays 0, for no
    // write failed; the caller asked for more than it can ever get.
    bool makeRoom(std::size_t size) noexcept {
        if (static_cast<std::size_t>(limit_ - end_) >= size) return true;
        return size <= static_cast<std::size_t>(limit_ - begin_) && flush();
    }
    // Where the next byte goes; text written there is kept by advance().
    [[nodiscard]] char* end() const noexcept { return end_; }
    void advance(char* newEnd) noexcept { end_ = newEnd; }

    // Writes out what the buffer holds. False once a write has failed.
    bool flush() noexcept;
    // Writes out what the buffer holds, then `text` straight from where it
    // lies. False once a write has failed.
    bool writeThrough(std::string_view text) noexcept;
    // The errno of the failed write, or 0.
    [[nodiscard]] int error() const noexcept { return error_; }
    // How many bytes the system has taken so far; what is still buffered is not counted.
    [[nodiscard]] std::uint64_t written() const noexcept { return written_; }

private:
    BlockWriter(int fd, BlockSink sink, std::span<char> buffer, AfterBlock afterBlock) noexcept
        : fd_(fd),
          sink_(sink),
          afterBlock_(afterBlock),
          begin_(buffer.data()),
          end_(buffer.data()),
          limit_(buffer.data() + buffer.size()) {}

    // Hands `text` to the descriptor or the sink; 0, or the errno of the failure.
    int hand(std::string_view text) noexcept;

    int fd_;
    BlockSink sink_;
    AfterBlock afterBlock_;
    int error_ = 0;
    std::uint64_t written_ = 0;
    char* begin_;
    char* end_;
    char* limit_;
};

// The output's whole life: opens the output `name` names (as Output does),
// hands it to `write` with a 1 MiB buffer, and closes it. `write` gets the
// writer and the output's descriptor, writes and flushes, and returns false
// after a failed write, whose errno the writer keeps. Every failure, of the
// open, a write or the close, is reported on standard error with the
// output's name and the system's reason. Returns whether all went well;
// where not, `failure` (when given) gets the errno. `afterBlock` goes to the
// writer. One output at a time: the buffer is the process's.
bool writeToOutput(std::string_view name, FunctionRef<bool(BlockWriter&, int)> write, AfterBlock afterBlock = {},
                   int* failure = nullptr);

}  // namespace gaussian_noise
