// Checks the number text for every one of the 2^32 float bit patterns,
// through each variant of both cell writers: the %g cells
// (writeGeneralCells) against snprintf("%g"), the --lossless cells
// (writeShortestCells) against std::to_chars. Each reference text is written
// once a block for all the variants of its kind; the blocks are split over
// the machine's processors. Prints the first mismatches, each variant this
// processor cannot run with the reason, and a summary per variant; exits 1
// if any pattern differs.
//
//   verify_all_floats [general|shortest|all] [THREADS]
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "text/number_text.h"
#include "text/number_text_variants.h"

namespace {

using gaussian_noise::CellWriterVariant;

constexpr std::uint64_t patternCount = std::uint64_t{1} << 32;
constexpr std::uint64_t chunkSize = std::uint64_t{1} << 20;
constexpr std::size_t blockSize = 4096;    // values written by one call
constexpr std::size_t referenceRoom = 32;  // bytes a cell, more than any writer needs

// printf's cells of a block (a multiple of eight values), eight a call: the
// call's own cost is then shared, and the check takes a third less time.
char* printfCells(char* out, std::span<const float> values) {
    for (std::size_t i = 0; i < values.size(); i += 8) {
        const auto at = [&](std::size_t j) { return static_cast<double>(values[i + j]); };
        out += std::snprintf(out, 8 * referenceRoom, "%g,%g,%g,%g,%g,%g,%g,%g,", at(0), at(1), at(2), at(3), at(4),
                             at(5), at(6), at(7));
    }
    return out;
}

char* toCharsCells(char* out, std::span<const float> values) {
    for (const float value : values) {
        out = std::to_chars(out, out + referenceRoom - 1, value).ptr;
        *out++ = ',';
    }
    return out;
}

// A kind of cell: its variants and the reference they must equal.
struct Kind {
    std::string_view name;
    std::string_view referenceName;
    char* (*reference)(char* out, std::span<const float> values);  // cells, each with its comma
    std::span<const CellWriterVariant> (*variants)();
};

const std::array kinds{
    Kind{"general", "printf(\"%g\")", printfCells, gaussian_noise::cellWriterVariants},
    Kind{"shortest", "std::to_chars", toCharsCells, gaussian_noise::shortestCellWriterVariants},
};

struct Checked {
    const Kind* kind;
    const CellWriterVariant* variant;
    std::string name;  // "kind/variant"
};
std::vector<Checked> checked;
std::vector<std::atomic<std::uint64_t>> mismatches;
std::atomic<std::uint64_t> nextChunk{0};
std::mutex reportLock;

// Compares a variant's cells with the reference's, one cell at a time.
void countMismatches(std::size_t index, std::span<const float> values, std::string_view ours, std::string_view theirs) {
    std::size_t ourStart = 0;
    std::size_t theirStart = 0;
    for (const float value : values) {
        const std::size_t ourEnd = ours.find(',', ourStart);
        const std::size_t theirEnd = theirs.find(',', theirStart);
        const std::string_view our = ours.substr(ourStart, ourEnd - ourStart);
        const std::string_view their = theirs.substr(theirStart, theirEnd - theirStart);
        if (our != their && mismatches[index]++ < 20) {
            const std::lock_guard<std::mutex> lock(reportLock);
            (void)std::printf("%s: mismatch at 0x%08x: ours %.*s, %s %.*s\n", checked[index].name.c_str(),
                              std::bit_cast<std::uint32_t>(value), static_cast<int>(our.size()), our.data(),
                              std::string(checked[index].kind->referenceName).c_str(), static_cast<int>(their.size()),
                              their.data());
        }
        if (ourEnd == std::string_view::npos) break;  // the variant wrote too few cells
        ourStart = ourEnd + 1;
        theirStart = theirEnd + 1;
    }
}

void checkChunks() {
    std::array<float, blockSize> values{};
    std::vector<char> theirs(blockSize * referenceRoom);
    std::vector<char> ours(blockSize * referenceRoom);
    for (std::uint64_t chunk = nextChunk++; chunk * chunkSize < patternCount; chunk = nextChunk++) {
        for (std::uint64_t block = chunk * chunkSize; block < (chunk + 1) * chunkSize; block += blockSize) {
            for (std::size_t i = 0; i < blockSize; ++i) {
                values[i] = std::bit_cast<float>(static_cast<std::uint32_t>(block + i));
            }
            const Kind* written = nullptr;
            std::string_view their;
            for (std::size_t index = 0; index < checked.size(); ++index) {
                const Kind& kind = *checked[index].kind;
                if (written != &kind) {
                    const char* theirEnd = kind.reference(theirs.data(), values);
                    their = std::string_view(theirs.data(), static_cast<std::size_t>(theirEnd - theirs.data()));
                    written = &kind;
                }
                const char* ourEnd = checked[index].variant->write(ours.data(), values);
                const std::string_view our(ours.data(), static_cast<std::size_t>(ourEnd - ours.data()));
                if (our != their) countMismatches(index, values, our, their);
            }
        }
        if ((chunk + 1) % 512 == 0) {
            const std::lock_guard<std::mutex> lock(reportLock);
            (void)std::fprintf(stderr, "%llu of %llu chunks started\n", static_cast<unsigned long long>(chunk) + 1,
                               static_cast<unsigned long long>(patternCount / chunkSize));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string_view kindName = "all";
    unsigned threads = std::thread::hardware_concurrency();
    for (const std::string_view argument : std::span(argv, static_cast<std::size_t>(argc)).subspan(1)) {
        if (!argument.empty() &&
            std::all_of(argument.begin(), argument.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            threads = static_cast<unsigned>(std::strtoul(argument.data(), nullptr, 10));
        } else {
            kindName = argument;
        }
    }
    for (const Kind& kind : kinds) {
        if (kindName != "all" && kind.name != kindName) continue;
        for (const CellWriterVariant& variant : kind.variants()) {
            std::string name = std::string(kind.name) + "/" + std::string(variant.name);
            if (variant.supported()) {
                checked.push_back({&kind, &variant, std::move(name)});
            } else {
                (void)std::printf("%s: skipped, needs instructions this processor lacks\n", name.c_str());
            }
        }
    }
    if (checked.empty()) {
        (void)std::fprintf(stderr, "verify_all_floats: nothing to check for '%s' (general, shortest or all)\n",
                           std::string(kindName).c_str());
        return EXIT_FAILURE;
    }
    mismatches = std::vector<std::atomic<std::uint64_t>>(checked.size());

    std::vector<std::thread> workers;
    for (unsigned i = 0; i < std::max(1U, threads); ++i) workers.emplace_back(checkChunks);
    for (std::thread& worker : workers) worker.join();
    bool allMatch = true;
    for (std::size_t index = 0; index < checked.size(); ++index) {
        (void)std::printf("%s: %llu of %llu float bit patterns differ from %s\n", checked[index].name.c_str(),
                          static_cast<unsigned long long>(mismatches[index].load()),
                          static_cast<unsigned long long>(patternCount),
                          std::string(checked[index].kind->referenceName).c_str());
        allMatch = allMatch && mismatches[index] == 0;
    }
    return allMatch ? EXIT_SUCCESS : EXIT_FAILURE;
}
