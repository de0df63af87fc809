// Runs a built program in a directory and captures what it writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace gaussian_noise::testing {

struct ToolRun {
    int exitStatus = -1;  // -1 when the program did not exit normally
    std::string out;      // standard output
    std::string err;      // standard error
    std::time_t startedAt = 0;
    std::time_t endedAt = 0;
};

struct ToolOptions {
    std::string program = GAUSSIAN_NOISE_PATH;
    std::string standardOutput{};            // a path to send standard output to; captured when empty
    std::string standardError{};             // a path to send standard error to; captured when empty
    std::vector<std::string> environment{};  // NAME=value settings added to the program's environment
    std::vector<int> closedDescriptors{};    // descriptors the program starts without, such as 2 for 2>&-
    // A program of the build machine, such as cmake, rather than one of this
    // build: a cross build starts its own programs through the emulator.
    bool hostProgram = false;
    std::uint64_t addressSpaceLimit = 0;  // bytes of memory the program may map (RLIMIT_AS); 0 for no limit
    std::uint64_t fileSizeLimit = 0;      // bytes a file the program writes may hold (RLIMIT_FSIZE); 0 for no limit
    // The program starts a session of its own whose controlling terminal,
    // its /dev/tty, is the terminal its standard output names.
    bool standardOutputControls = false;
};

ToolRun runTool(const std::filesystem::path& directory, const std::vector<std::string>& arguments,
                const ToolOptions& options = {});

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& content);

// A fresh directory that is removed with everything in it.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    TemporaryDirectory(TemporaryDirectory&&) = delete;
    TemporaryDirectory& operator=(TemporaryDirectory&&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A test that runs the tool in a fresh directory of its own.
class ToolDirectory : public ::testing::Test {
protected:
    ToolRun run(const std::vector<std::string>& arguments, const ToolOptions& options = {}) {
        return runTool(directory_.path(), arguments, options);
    }
    [[nodiscard]] std::filesystem::path path(const std::string& name) const { return directory_.path() / name; }
    [[nodiscard]] std::string text(const std::string& name) const { return readFile(path(name)); }

private:
    TemporaryDirectory directory_;
};

// A pseudo-terminal in raw mode (no translation of line feeds) of `columns`
// columns (0: not known): its name, and what reached it since the last look.
class RawTerminal {
public:
    explicit RawTerminal(unsigned short columns = 80);
    ~RawTerminal();
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;
    RawTerminal(RawTerminal&&) = delete;
    RawTerminal& operator=(RawTerminal&&) = delete;
    [[nodiscard]] std::string name() const { return name_; }
    // Read once the programs that wrote to it have ended.
    [[nodiscard]] std::string shown() const;

private:
    int master_ = -1;
    int slave_ = -1;
    char name_[64] = {};
};

struct TableShape {
    float mean;
    float variance;
    std::int32_t runs;
    std::int32_t samplesPerRun;
};

// The table the built tool writes for a seed: it runs with --seed=SEED
// --output=- and the shape's values written so that they read back exactly.
std::string writtenTable(unsigned seed, const TableShape& shape);

}  // namespace gaussian_noise::testing
