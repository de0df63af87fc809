#include "seeded_table.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

#include "block_writer.h"
#include "noise_table.h"

namespace gaussian_noise::testing {

std::string tableForSeed(unsigned seed, const RunSettings& settings) {
    // The table goes through a real file descriptor, as the tool's does.
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::tmpfile(), &std::fclose);
    if (!file) throw std::runtime_error("cannot make a temporary file");
    const int fd = ::fileno(file.get());
    std::vector<char> buffer(std::size_t{1} << 16);
    BlockWriter out(fd, buffer);
    std::srand(seed);
    if (!writeNoiseTable(out, settings)) throw std::runtime_error("cannot write the table");

    struct stat status {};
    if (::fstat(fd, &status) != 0) throw std::runtime_error("cannot size the table");
    std::string table(static_cast<std::size_t>(status.st_size), '\0');
    if (::pread(fd, table.data(), table.size(), 0) != status.st_size) throw std::runtime_error("cannot read the table");
    return table;
}

}  // namespace gaussian_noise::testing
