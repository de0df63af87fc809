// gaussian_noise [OPTION]... MEAN VARIANCE RUNS SAMPLES: echoes the settings
// and writes a table of Gaussian noise to generated_noise.csv (or .npy, .f32
// for the binary formats) or to the file the options name.
//
// This file holds the process's concerns: the command line, the echo, the
// output's descriptor, and the exit status. The table is table_writer's.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "block_writer.h"
#include "cells.h"
#include "command_line.h"
#include "messages.h"
#include "number_text.h"
#include "progress.h"
#include "table_writer.h"

namespace {

using namespace gaussian_noise;

constexpr int exitFailure = 1;  // reading, writing or memory failed
constexpr int exitUsage = 2;    // the command line was rejected

// Writes text that is not the table to standard output or standard error.
int writeMessage(int fd, std::string_view text) {
    if (const int error = writeAll(fd, text); error != 0) {
        reportSystemError("cannot write", fd == STDOUT_FILENO ? "standard output" : "standard error", error);
        return exitFailure;
    }
    return EXIT_SUCCESS;
}

std::string echoText(const RunSettings& settings) {
    std::array<char, generalRoom> number{};
    auto general = [&number](float value) { return std::string(number.data(), writeGeneral(number.data(), value)); };
    auto decimal = [&number](std::int32_t value) {
        return std::string(number.data(), writeDecimal(number.data(), value));
    };
    return "Desired Mean: " + general(settings.mean) + "\nDesired Variance: " + general(settings.variance) +
           "\nDesired number of runs: " + decimal(settings.runs) +
           "\nDesired number of samples per run: " + decimal(settings.samplesPerRun) + "\n";
}

// Binary bytes would garble a terminal and help nobody: a binary table must
// go to a file or a pipe. True, after saying so, when it would go to one.
bool refusedTerminal(const RunSettings& settings, int fd) {
    if (settings.format == TableFormat::csv || ::isatty(fd) == 0) return false;
    report("will not write a binary table to a terminal; use -o FILE or a redirection");
    return true;
}

// Opens the named output for writing. Where standard input, output or error
// was closed, the file would take its descriptor, and the echo, messages or
// progress would land in it: it is moved above them. -1 on failure, errno set.
int openOutput(const std::string& name) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = errno;
    ::close(fd);
    errno = error;
    return moved;
}

// Opens the output (or takes standard output for "-"), writes the table and
// closes it, reporting any failure with the output's name.
int writeOutput(const RunSettings& settings, std::uint32_t seed) {
    const bool toStandardOutput = settings.output == standardOutputName;
    const std::string name = toStandardOutput ? "standard output" : quoted(settings.output);
    const int fd = toStandardOutput ? STDOUT_FILENO : openOutput(settings.output);
    if (fd < 0) {
        reportSystemError("cannot open", name, errno);
        return exitFailure;
    }
    if (!toStandardOutput && refusedTerminal(settings, fd)) {
        ::close(fd);
        return exitUsage;
    }
    std::optional<Progress> progress;
    if (settings.progress) {
        progress.emplace(STDERR_FILENO, tableCellCount(settings), ::isatty(STDERR_FILENO) != 0,
                         toStandardOutput && ::isatty(STDOUT_FILENO) != 0);
    }

    static std::array<char, std::size_t{1} << 20> buffer;
    BlockWriter out(fd, buffer);
    if (!writeTable(out, settings, seed, progress ? &*progress : nullptr)) {
        if (progress) progress->interrupt();
        reportSystemError("cannot write", name, out.error());
        ::close(fd);
        return exitFailure;
    }
    if (::close(fd) != 0) {
        reportSystemError("cannot close", name, errno);
        return exitFailure;
    }
    return EXIT_SUCCESS;
}

int run(std::span<char* const> arguments) {
    const CommandLine line = parseCommandLine(arguments);
    switch (line.action) {
        case Action::help:
            return writeMessage(STDOUT_FILENO, helpText);
        case Action::version:
            return writeMessage(STDOUT_FILENO, "gaussian_noise " GAUSSIAN_NOISE_VERSION "\n");
        case Action::reject:
            report(line.error);
            return exitUsage;
        case Action::run:
            break;
    }
    const RunSettings& settings = line.settings;
    if (settings.output == standardOutputName && refusedTerminal(settings, STDOUT_FILENO)) return exitUsage;
    // A seed of N gives the table of a run started at second N of the clock.
    const std::uint32_t seed = settings.seed ? *settings.seed : static_cast<std::uint32_t>(std::time(nullptr));
    if (!settings.quiet) {
        // With the table on standard output, the echo moves out of its way.
        const int echo = settings.output == standardOutputName ? STDERR_FILENO : STDOUT_FILENO;
        if (const int status = writeMessage(echo, echoText(settings)); status != EXIT_SUCCESS) return status;
    }
    return writeOutput(settings, seed);
}

}  // namespace

int main(int argc, char** argv) {
    // Memory that cannot be had where the tool has no other way on ends the
    // run with a message, never with an abort.
    try {
        return run(std::span(argv, static_cast<std::size_t>(argc)).subspan(1));
    } catch (const std::bad_alloc&) {
        report("out of memory");
    } catch (const std::exception& failure) {
        report(failure.what());
    }
    return exitFailure;
}
