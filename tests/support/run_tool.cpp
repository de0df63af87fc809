#include "run_tool.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace gaussian_noise::testing {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (fs::temp_directory_path() / "gaussian_noise_test_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

namespace {

// The emulator that starts this build's programs, split at spaces: empty
// unless the build is a cross build (TOOL_LAUNCHER is then, for example,
// "/usr/bin/qemu-aarch64 -L /usr/aarch64-linux-gnu").
std::vector<std::string> launcherWords() {
    std::vector<std::string> words;
    std::istringstream launcher(TOOL_LAUNCHER);
    for (std::string word; launcher >> word;) words.push_back(word);
    return words;
}

}  // namespace

ToolRun runTool(const fs::path& directory, const std::vector<std::string>& arguments, const ToolOptions& options) {
    const TemporaryDirectory capture;
    const fs::path outPath = options.standardOutput.empty() ? capture.path() / "out" : fs::path(options.standardOutput);
    const fs::path errPath = options.standardError.empty() ? capture.path() / "err" : fs::path(options.standardError);

    std::vector<std::string> words = options.hostProgram ? std::vector<std::string>{} : launcherWords();
    // Under an emulator the variables go to the emulated program alone (qemu's
    // -E), so that a preloaded library reaches its loader, not the emulator's.
    const bool emulated = !words.empty();
    if (emulated) {
        for (const std::string& setting : options.environment) {
            words.emplace_back("-E");
            words.push_back(setting);
        }
    }
    words.push_back(options.program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv(words.size() + 1, nullptr);  // ends with a null pointer
    std::transform(words.begin(), words.end(), argv.begin(), [](std::string& word) { return word.data(); });

    ToolRun run;
    run.startedAt = std::time(nullptr);
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("cannot fork");
    if (child == 0) {
        // A terminal becomes the controlling one only through a descriptor
        // open for reading too: Linux refuses TIOCSCTTY on a write-only one
        // to all but root.
        const int out =
            ::open(outPath.c_str(), (options.standardOutputControls ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0 ||
            ::chdir(directory.c_str()) != 0) {
            ::_exit(127);
        }
        if (options.standardOutputControls && (::setsid() < 0 || ::ioctl(STDOUT_FILENO, TIOCSCTTY, 0) != 0)) {
            ::_exit(127);
        }
        for (const int fd : options.closedDescriptors) ::close(fd);
        if (options.addressSpaceLimit != 0) {
            const rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
            if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(127);
        }
        if (options.fileSizeLimit != 0) {
            const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
        }
        for (const std::string& setting : emulated ? std::vector<std::string>{} : options.environment) {
            const std::size_t equals = setting.find('=');
            if (::setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1) != 0) ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child) throw std::runtime_error("cannot wait for the tool");
    run.endedAt = std::time(nullptr);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (options.standardOutput.empty()) run.out = readFile(outPath);
    if (options.standardError.empty()) run.err = readFile(errPath);
    return run;
}

RawTerminal::RawTerminal(unsigned short columns) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = columns;
    if (::openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) throw std::runtime_error("no terminal");
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
    if (::ttyname_r(slave_, name_, sizeof name_) != 0) throw std::runtime_error("no terminal name");
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
}

RawTerminal::~RawTerminal() {
    ::close(slave_);
    ::close(master_);
}

std::string RawTerminal::shown() const {
    std::string text;
    char chunk[4096];
    for (ssize_t size = 0; (size = ::read(master_, chunk, sizeof chunk)) > 0;) {
        text.append(chunk, static_cast<std::size_t>(size));
    }
    return text;
}

namespace {

// Hexadecimal text reads back as exactly the same float; inf and nan keep their sign.
std::string exactText(float value) {
    char text[64];
    const int size = std::snprintf(text, sizeof text, "%a", static_cast<double>(value));
    return {text, static_cast<std::size_t>(size)};
}

}  // namespace

std::string writtenTable(unsigned seed, const TableShape& shape) {
    const TemporaryDirectory directory;
    const ToolRun run = runTool(
        directory.path(), {"--quiet", "--seed=" + std::to_string(seed), "--output=-", "--", exactText(shape.mean),
                           exactText(shape.variance), std::to_string(shape.runs), std::to_string(shape.samplesPerRun)});
    if (run.exitStatus != 0) throw std::runtime_error("the tool failed: " + run.err);
    return run.out;
}

}  // namespace gaussian_noise::testing
