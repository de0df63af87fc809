// gaussian_noise [OPTION]... MEAN VARIANCE RUNS SAMPLES: echoes the settings
// and writes a table of Gaussian noise to generated_noise.csv (or .npy, .f32
// for the binary formats) or to the file the options name.
//
// This file holds the process's concerns: help, version, rejection, the
// warnings, the seed, the echo, the run's order and the exit status. Where
// the run starts is run_start's, the output output's, the table
// table_writer's. Nothing here needs the heap, so that the tool
// can report even where none is to be had.
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <new>
#include <optional>
#include <span>
#include <string_view>

#include "cli/command_line.h"
#include "cli/messages.h"
#include "draws/rand_sequence.h"
#include "draws/run_start.h"
#include "draws/thrown_pair_list.h"
#include "io/output.h"
#include "io/progress.h"
#include "table/table_writer.h"

namespace {

using namespace gaussian_noise;

constexpr int exitFailure = 1;  // reading, writing or memory failed
constexpr int exitUsage = 2;    // the command line was rejected

constexpr std::string_view helpText =
    "Usage: gaussian_noise [OPTION]... MEAN VARIANCE RUNS SAMPLES\n"
    "\n"
    "Writes a table of Gaussian pseudo-random noise to generated_noise.csv in the\n"
    "current directory, replacing what the file held, and echoes the four\n"
    "settings on standard output.\n"
    "\n"
    "  MEAN      centre of the distribution (a real number)\n"
    "  VARIANCE  spread of the distribution (a real number, 0 or more)\n"
    "  RUNS      rows of the table (an integer; 0 or less leaves the file empty)\n"
    "  SAMPLES   cells per row (an integer; 0 or less leaves the rows empty)\n"
    "\n"
    "Each cell holds one sample with six significant digits, as printf's %g\n"
    "writes it, followed by a comma. Rows are separated by a line feed; the\n"
    "file does not end with one. The generator is seeded from the clock in\n"
    "whole seconds, so runs started in the same second write the same table.\n"
    "\n"
    "Options may stand before, among or after the four values; after \"--\"\n"
    "every argument is a value. An option begins with \"--\" and a name, or\n"
    "with - and one of the letters h, o, q, s, T; no number does, so -1 and -inf\n"
    "are values, and so is - alone. Short options may be bundled and take their\n"
    "value attached: -qs42 is -q -s 42, and -o- is -o -.\n"
    "  -s, --seed=N       seed the generator with N (0 to 4294967295) instead of\n"
    "                     the clock: the table for seed N is the table of a run\n"
    "                     started at second N. The C library treats seeds 0 and 1\n"
    "                     alike. --seed=$(date +%s) does what the default does\n"
    "                     and records the seed.\n"
    "  -o, --output=FILE  write the table to FILE instead; - writes it to\n"
    "                     standard output and the echo to standard error\n"
    "  -q, --quiet        do not echo the settings\n"
    "      --lossless     write each sample as the shortest text that reads back\n"
    "                     as exactly the same single-precision value\n"
    "      --progress     report progress on standard error\n"
    "      --format=FORMAT\n"
    "                     write the table as FORMAT: csv (the default), npy\n"
    "                     (NumPy's .npy, to generated_noise.npy) or f32 (the\n"
    "                     samples alone, to generated_noise.f32). The binary\n"
    "                     formats hold each sample exactly, as a little-endian\n"
    "                     single-precision value, row after row, and are never\n"
    "                     written to a terminal\n"
    "  -T, --threads=N    draw the table with N threads (0 to 256; 0 means one\n"
    "                     per processor the tool may run on, at most 256;\n"
    "                     default 1). The table is the same for every N.\n"
    "                     Where rand() is not glibc's sequence, one thread\n"
    "                     draws from rand() itself.\n"
    "      --part=K/N     write part K of N of the table: its rows split into N\n"
    "                     runs in order, as evenly as can be (the first parts one\n"
    "                     row longer). The parts written one after another are\n"
    "                     the whole table byte for byte, in every format (the\n"
    "                     .npy header is part 1's). Needs --seed: parts drawn at\n"
    "                     different seconds would not fit together\n"
    "      --rows=FIRST-LAST\n"
    "                     write rows FIRST to LAST (from 1; FIRST- to the end) as\n"
    "                     a table of their own; rows past the end are refused\n"
    "      --list-thrown-pairs\n"
    "                     write, instead of the table, the list of the pairs of\n"
    "                     draws it throws away (to standard output, or -o FILE);\n"
    "                     needs --seed\n"
    "      --thrown-pairs=FILE\n"
    "                     read that list rather than scan the draws before the\n"
    "                     first row: keeps the work of many parts in line with\n"
    "                     the table's\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "With --part or --rows the echo is still the whole table's four values.\n"
    "\n"
    "A value that is not wholly a number is read as far as it is one (abc as 0,\n"
    "2.9 runs as 2), with a warning on standard error.\n"
    "\n"
    "Exit status: 0 on success, 1 if writing standard output or the file, or\n"
    "reading a list of thrown pairs, fails, 2 if the command line is rejected.\n";

// Writes text that is not the table to standard output or standard error.
int writeMessage(int fd, std::string_view text) {
    if (const int error = writeAll(fd, text); error != 0) {
        reportSystemError("cannot write", fd == STDOUT_FILENO ? "standard output" : "standard error", error);
        return exitFailure;
    }
    return EXIT_SUCCESS;
}

Message echoText(const RunSettings& settings) {
    Message echo("Desired Mean: ");
    echo.general(settings.mean) += "\nDesired Variance: ";
    echo.general(settings.variance) += "\nDesired number of runs: ";
    echo.number(settings.runs) += "\nDesired number of samples per run: ";
    echo.number(settings.samplesPerRun) += "\n";
    return echo;
}

// Writes the list of the pairs the whole table throws away to the output.
int writeThrownPairs(const RunSettings& settings, std::uint32_t seed) {
    if (!CLibraryRand(seed).followsSequence()) {
        report("rand() here is not the C library sequence the tool can scan; no list of thrown pairs");
        return exitFailure;
    }
    const std::int64_t cells = tableCellCount(settings);
    const auto write = [&](BlockWriter& out, int fd) {
        std::optional<Progress> progress;
        if (settings.progress) progress.emplace(STDERR_FILENO, cells, fd, -1.0, "scanning");
        const auto scanned = [&](std::int64_t passed) {
            if (progress) progress->update(passed, out.written());
        };
        if (writeThrownPairList(out, seed, cells, drawingThreads(settings), scanned)) {
            if (progress) progress->finish(cells, out.written());
            return true;
        }
        if (progress) progress->interrupt();
        return false;
    };
    return writeToOutput(settings.output, write) ? EXIT_SUCCESS : exitFailure;
}

// Writes the table to the output.
int writeOutput(const RunSettings& settings, std::uint32_t seed) {
    // Where the run's rows begin is settled before the output is opened: a
    // list that does not fit leaves the file as it was.
    const std::optional<std::uint64_t> firstPair = firstPairOf(settings, seed);
    if (!firstPair) return exitFailure;
    const auto write = [&](BlockWriter& out, int fd) {
        std::optional<Progress> progress;
        if (settings.progress) progress.emplace(STDERR_FILENO, runCellCount(settings), fd);
        if (writeTable(out, settings, seed, *firstPair, progress ? &*progress : nullptr)) return true;
        if (progress) progress->interrupt();  // so that the message starts a line of its own
        return false;
    };
    return writeToOutput(settings.output, write) ? EXIT_SUCCESS : exitFailure;
}

int run(std::span<char* const> arguments) {
    const CommandLine line = parseCommandLine(arguments);
    switch (line.action) {
        case Action::help:
            return writeMessage(STDOUT_FILENO, helpText);
        case Action::version: {
            Message version(programName);
            version += " " GAUSSIAN_NOISE_VERSION "\n";
            return writeMessage(STDOUT_FILENO, version.text());
        }
        case Action::reject:
            report(line.error);
            return exitUsage;
        case Action::run:
            break;
    }
    const RunSettings& settings = line.settings;
    warnOfNotNumbers(line);
    if (settings.listThrownPairs) return writeThrownPairs(settings, *settings.seed);
    // Binary bytes would garble a terminal and help nobody: a binary table
    // goes to a file or a pipe, and is refused before anything is written.
    if (settings.format != TableFormat::csv && isTerminal(settings.output)) {
        report("will not write a binary table to a terminal; use -o FILE or a redirection");
        return exitUsage;
    }
    // A seed of N gives the table of a run started at second N of the clock.
    const std::uint32_t seed = settings.seed ? *settings.seed : static_cast<std::uint32_t>(std::time(nullptr));
    if (!settings.quiet) {
        // With the table on standard output, the echo moves out of its way.
        const int echo = settings.output == standardOutputName ? STDERR_FILENO : STDOUT_FILENO;
        if (const int status = writeMessage(echo, echoText(settings).text()); status != EXIT_SUCCESS) return status;
    }
    return writeOutput(settings, seed);
}

}  // namespace

int main(int argc, char** argv) {
    // A file that reaches the size limit is a write that fails (EFBIG), and
    // is reported as one, not a signal that ends the run without a word.
    (void)std::signal(SIGXFSZ, SIG_IGN);
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
