#include "draws/run_start.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "cli/messages.h"
#include "draws/rand_sequence.h"
#include "draws/thrown_pair_list.h"
#include "draws/thrown_pair_scan.h"
#include "io/progress.h"

namespace gaussian_noise {

RowSpan runRows(const RunSettings& settings) {
    const std::int64_t runs = std::max(settings.runs, 0);
    const Rows& rows = settings.rows;
    switch (rows.kind) {
        case Rows::Kind::part: {
            // The first runs % parts parts hold one row more than the others.
            const std::int64_t shortest = runs / rows.parts;
            const std::int64_t longer = runs % rows.parts;
            const std::int64_t before = rows.part - 1;
            return {before * shortest + std::min(before, longer), shortest + (before < longer ? 1 : 0)};
        }
        case Rows::Kind::range:
            return {rows.first - 1, rows.last - rows.first + 1};
        case Rows::Kind::table:
            break;
    }
    return {0, runs};
}

std::int64_t runCellCount(const RunSettings& settings) {
    if (settings.samplesPerRun <= 0) return 0;
    return runRows(settings).count * settings.samplesPerRun;
}

std::int64_t tableCellCount(const RunSettings& settings) {
    if (settings.samplesPerRun <= 0) return 0;
    return std::int64_t{std::max(settings.runs, 0)} * settings.samplesPerRun;
}

std::int64_t firstCellOf(const RunSettings& settings) {
    if (settings.samplesPerRun <= 0) return 0;
    return runRows(settings).first * settings.samplesPerRun;
}

std::optional<std::uint64_t> firstPairOf(const RunSettings& settings, std::uint32_t seed) {
    const std::int64_t cell = firstCellOf(settings);
    if (!settings.thrownPairs.empty()) {
        const ListedPair listed = pairOfCellFromList(settings.thrownPairs, seed, cell);
        if (listed.error.empty()) return listed.pair;
        report(listed.error);
        return std::nullopt;
    }
    // Rows without cells draw nothing, and a rand() that is not the C
    // library's sequence is drawn from itself, from the seed on: neither
    // needs the scan.
    if (cell == 0 || runCellCount(settings) == 0 || !CLibraryRand(seed).followsSequence()) return 0;
    if (!settings.progress) return pairOfCellByScan(seed, cell, drawingThreads(settings));
    Progress progress(STDERR_FILENO, cell, -1, -1.0, "scanning");
    const auto scanned = [&progress](std::int64_t cells) { progress.update(cells, 0); };
    const std::uint64_t pair = pairOfCellByScan(seed, cell, drawingThreads(settings), {}, scanned);
    progress.finishIfShown(cell, 0);
    return pair;
}

unsigned drawingThreads(const RunSettings& settings) {
    return settings.threads == 0 ? std::min(availableProcessors(), maxThreads) : settings.threads;
}

unsigned availableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
    return std::max(1U, std::thread::hardware_concurrency());
}

}  // namespace gaussian_noise
