// gaussian_noise MEAN VARIANCE RUNS SAMPLES: echoes the settings and writes a
// table of Gaussian noise to generated_noise.csv.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

#include "block_writer.h"
#include "command_line.h"
#include "noise_table.h"
#include "number_text.h"

namespace {

using namespace gaussian_noise;

constexpr int exitFailure = 1;  // reading or writing failed
constexpr int exitUsage = 2;    // the command line was rejected
constexpr const char* tableFileName = "generated_noise.csv";

void report(const std::string& message) {
    // Nothing is left to tell when standard error fails too.
    writeAll(STDERR_FILENO, "gaussian_noise: " + message + "\n");
}

void reportSystemError(std::string_view action, std::string_view name, int error) {
    report(std::string(action) + " " + std::string(name) + ": " + std::strerror(error));
}

int writeStandardOutput(std::string_view text) {
    if (const int error = writeAll(STDOUT_FILENO, text); error != 0) {
        reportSystemError("cannot write", "standard output", error);
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

int writeTable(const RunSettings& settings) {
    const std::string quotedName = std::string("'") + tableFileName + "'";
    const int fd = ::open(tableFileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        reportSystemError("cannot open", quotedName, errno);
        return exitFailure;
    }
    static std::array<char, std::size_t{1} << 20> buffer;
    BlockWriter out(fd, buffer);
    if (!writeNoiseTable(out, settings)) {
        reportSystemError("cannot write", quotedName, out.error());
        ::close(fd);
        return exitFailure;
    }
    if (::close(fd) != 0) {
        reportSystemError("cannot close", quotedName, errno);
        return exitFailure;
    }
    return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = parseCommandLine(std::span(argv, static_cast<std::size_t>(argc)).subspan(1));
    switch (line.action) {
        case Action::help:
            return writeStandardOutput(helpText);
        case Action::version:
            return writeStandardOutput("gaussian_noise " GAUSSIAN_NOISE_VERSION "\n");
        case Action::reject:
            report(line.error);
            return exitUsage;
        case Action::run:
            break;
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (const int status = writeStandardOutput(echoText(line.settings)); status != EXIT_SUCCESS) return status;
    return writeTable(line.settings);
}
