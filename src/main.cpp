// gaussian_noise [OPTION]... MEAN VARIANCE RUNS SAMPLES: echoes the settings
// and writes a table of Gaussian noise to generated_noise.csv (or .npy, .f32
// for the binary formats) or to the file the options name.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "block_writer.h"
#include "command_line.h"
#include "noise_table.h"
#include "number_text.h"
#include "progress.h"
#include "rand_sequence.h"
#include "table_cells.h"
#include "threaded_table.h"

namespace {

using namespace gaussian_noise;

constexpr int exitFailure = 1;  // reading or writing failed
constexpr int exitUsage = 2;    // the command line was rejected

void report(const std::string& message) {
    // Nothing is left to tell when standard error fails too.
    writeAll(STDERR_FILENO, "gaussian_noise: " + message + "\n");
}

void reportSystemError(std::string_view action, std::string_view name, int error) {
    report(std::string(action) + " " + std::string(name) + ": " + std::strerror(error));
}

// Opens /dev/null on descriptor `fd` with `access` when `fd` is closed and
// every lower descriptor is open. False when that fails.
bool openIfClosed(int fd, int access) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) return true;
    return ::open("/dev/null", access) == fd;  // the lowest free descriptor
}

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// the table file never takes the place of standard input, output or error
// (where the echo, messages or progress would then land in it). Standard
// input is opened for writing and the other two for reading, so that using
// them still fails as it would closed. False when /dev/null cannot be opened.
bool fillClosedStandardDescriptors() {
    return openIfClosed(STDIN_FILENO, O_WRONLY) && openIfClosed(STDOUT_FILENO, O_RDONLY) &&
           openIfClosed(STDERR_FILENO, O_RDONLY);
}

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

// Writes the table of `seed` with the threads the settings ask for, where the
// C library's rand() is the sequence the tool can compute; from rand()
// itself, in one thread, where it is not.
bool writeNoiseTable(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, Progress* progress) {
    const unsigned threads = settings.threads == 0 ? availableProcessors() : settings.threads;
    if (!writeTableHeader(out, settings)) return false;
    if (!randFollowsSequence(seed)) {
        if (threads > 1) {
            report(
                "rand() here is not the C library sequence the tool can split between threads; "
                "writing the table in one thread");
        }
        return writeNoiseTableFromRand(out, settings, progress);
    }
    if (threads > 1) return writeThreadedNoiseTable(out, settings, seed, threads, defaultPairsPerChunk, progress);
    RandSequence draws(seed);
    return writeNoiseTable(out, settings, draws, progress);
}

// Binary bytes would garble a terminal and help nobody: a binary table must
// go to a file or a pipe. True, after saying so, when it would go to one.
bool refusedTerminal(const RunSettings& settings, int fd) {
    if (settings.format == TableFormat::csv || ::isatty(fd) == 0) return false;
    report("will not write a binary table to a terminal; use -o FILE or a redirection");
    return true;
}

// Opens the output (or takes standard output for "-"), writes the table and
// closes it, reporting any failure with the output's name.
int writeTable(const RunSettings& settings, std::uint32_t seed) {
    const bool toStandardOutput = settings.output == standardOutputName;
    const std::string name = toStandardOutput ? "standard output" : "'" + settings.output + "'";
    const int fd = toStandardOutput ? STDOUT_FILENO
                                    : ::open(settings.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        reportSystemError("cannot open", name, errno);
        return exitFailure;
    }
    if (!toStandardOutput && refusedTerminal(settings, fd)) {
        ::close(fd);
        return exitUsage;
    }
    std::optional<Progress> progress;
    if (settings.progress) progress.emplace(STDERR_FILENO, tableCellCount(settings), ::isatty(STDERR_FILENO) != 0);

    static std::array<char, std::size_t{1} << 20> buffer;
    BlockWriter out(fd, buffer);
    if (!writeNoiseTable(out, settings, seed, progress ? &*progress : nullptr)) {
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

}  // namespace

int main(int argc, char** argv) {
    if (!fillClosedStandardDescriptors()) {
        reportSystemError("cannot open", "'/dev/null'", errno);
        return exitFailure;
    }
    const CommandLine line = parseCommandLine(std::span(argv, static_cast<std::size_t>(argc)).subspan(1));
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
    std::srand(seed);
    if (!settings.quiet) {
        // With the table on standard output, the echo moves out of its way.
        const int echo = settings.output == standardOutputName ? STDERR_FILENO : STDOUT_FILENO;
        if (const int status = writeMessage(echo, echoText(settings)); status != EXIT_SUCCESS) return status;
    }
    return writeTable(settings, seed);
}
