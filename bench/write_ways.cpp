// How fast one file takes bytes, by the ways a table's writer could use:
// one thread's write(), pwrite() from several threads at their own offsets,
// a mapping of a file reserved with fallocate(), and, for comparison, several
// threads each writing a file of its own. Each writes 1 GiB in 1 MiB blocks
// (a chunk of text is about a third of that) into the folder named by
// WRITE_WAYS_DIR (default /dev/shm), and removes its files.
//
//   build/bench/bench/write_ways --benchmark_repetitions=5
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
// (one line; bench/scaling.sh runs it so)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "benchmark/benchmark.h"

namespace {

constexpr std::size_t blockSize = std::size_t{1} << 20;
constexpr std::size_t fileSize = std::size_t{1} << 30;
constexpr std::size_t blocks = fileSize / blockSize;

std::string pathOf(int index) {
    const char* folder = std::getenv("WRITE_WAYS_DIR");  // NOLINT(concurrency-mt-unsafe): read before any thread
    return std::string(folder != nullptr ? folder : "/dev/shm") + "/write_ways." + std::to_string(::getpid()) + "." +
           std::to_string(index);
}

// A block of text-like bytes, the same for every way.
const std::vector<char>& block() {
    static const std::vector<char> bytes = [] {
        std::vector<char> b(blockSize);
        for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>(i % 11 == 10 ? ',' : '0' + i % 10);
        return b;
    }();
    return bytes;
}

int openNew(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    return fd;
}

void writeBlocks(int fd, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (::write(fd, block().data(), blockSize) != static_cast<ssize_t>(blockSize)) std::abort();
    }
}

void finish(benchmark::State& state, int files) {
    for (int i = 0; i < files; ++i) ::unlink(pathOf(i).c_str());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(fileSize));
}

// Today's writer: one thread, write() after write().
void oneThreadWrite(benchmark::State& state) {
    for (auto iteration : state) {
        (void)iteration;
        const int fd = openNew(pathOf(0));
        writeBlocks(fd, blocks);
        ::close(fd);
    }
    finish(state, 1);
}

// The workers' way for a table whose size is known: each thread pwrite()s
// its blocks, every Nth, at their own offsets in the one file.
void threadsPwrite(benchmark::State& state) {
    const auto threads = static_cast<std::size_t>(state.range(0));
    for (auto iteration : state) {
        (void)iteration;
        const int fd = openNew(pathOf(0));
        std::vector<std::thread> running;
        running.reserve(threads);
        for (std::size_t t = 0; t < threads; ++t) {
            running.emplace_back([fd, t, threads] {
                for (std::size_t i = t; i < blocks; i += threads) {
                    const auto offset = static_cast<off_t>(i * blockSize);
                    if (::pwrite(fd, block().data(), blockSize, offset) != static_cast<ssize_t>(blockSize))
                        std::abort();
                }
            });
        }
        for (std::thread& thread : running) thread.join();
        ::close(fd);
    }
    finish(state, 1);
}

// A file reserved with fallocate() and written through a shared mapping by
// N threads, each its own blocks.
void threadsMapping(benchmark::State& state) {
    const auto threads = static_cast<std::size_t>(state.range(0));
    for (auto iteration : state) {
        (void)iteration;
        const int fd = ::open(pathOf(0).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::posix_fallocate(fd, 0, static_cast<off_t>(fileSize)) != 0) std::abort();
        void* map = ::mmap(nullptr, fileSize, PROT_WRITE, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED) std::abort();
        auto* bytes = static_cast<char*>(map);
        std::vector<std::thread> running;
        running.reserve(threads);
        for (std::size_t t = 0; t < threads; ++t) {
            running.emplace_back([bytes, t, threads] {
                for (std::size_t i = t; i < blocks; i += threads) {
                    std::memcpy(bytes + i * blockSize, block().data(), blockSize);
                }
            });
        }
        for (std::thread& thread : running) thread.join();
        ::munmap(map, fileSize);
        ::close(fd);
    }
    finish(state, 1);
}

// N threads, each writing 1/N of the bytes to a file of its own: what N
// processes writing a part each do.
void threadsOwnFiles(benchmark::State& state) {
    const auto threads = static_cast<int>(state.range(0));
    for (auto iteration : state) {
        (void)iteration;
        std::vector<std::thread> running;
        running.reserve(static_cast<std::size_t>(threads));
        for (int t = 0; t < threads; ++t) {
            running.emplace_back([t, threads] {
                const int fd = openNew(pathOf(t));
                writeBlocks(fd, blocks / static_cast<std::size_t>(threads));
                ::close(fd);
            });
        }
        for (std::thread& thread : running) thread.join();
    }
    finish(state, threads);
}

// Threads 1, 2, 4, ... up to the processors, and the processors themselves.
void threadCounts(benchmark::internal::Benchmark* benchmark) {
    const unsigned processors = std::max(1U, std::thread::hardware_concurrency());
    for (unsigned n = 1; n < processors; n *= 2) benchmark->Arg(n);
    benchmark->Arg(processors);
}

BENCHMARK(oneThreadWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(threadsPwrite)->Apply(threadCounts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(threadsMapping)->Apply(threadCounts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(threadsOwnFiles)->Apply(threadCounts)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
