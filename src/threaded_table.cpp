#include "threaded_table.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "noise_table.h"
#include "rand_sequence.h"
#include "table_cells.h"

namespace gaussian_noise {
namespace {

// Chunk c holds the samples of the pairs of draws c*P .. c*P+P-1 (P pairs
// per chunk) whose first draw is not 0: a pair with a first draw of 0 is
// thrown away, so a chunk has P cells less one per pair thrown away. Where its
// rows break depends on its first cell's index, c*P less every pair thrown
// away before it, which only the chunks before it can tell. The writer learns
// that index exactly as it takes the chunks in order; a worker lays its rows
// out with the count the writer knew when it freed the worker's buffer (all
// chunks up to one buffer round before), and the writer moves the line feeds
// of the rare chunk that a pair thrown away since then has shifted. The last
// chunk may come short for the same reason: the writer draws what it lacks.

struct Slot {
    std::unique_ptr<char[]> text;  // room for a whole chunk
    std::uint64_t chunk = 0;       // the chunk it holds, or is free for
    bool full = false;             // holds its chunk, for the writer
    // Pairs thrown away up to the end of the chunk the writer last took from
    // it: all those before this chunk but the ones in other buffers.
    std::uint64_t rejectedBefore = 0;
    std::int64_t guessedFirst = 0;  // the index of the first cell, as the worker took it
    std::int64_t cells = 0;
    std::size_t size = 0;         // of the text
    std::uint64_t drawsUsed = 0;  // of the chunk's share of the sequence
};

struct Pipeline {
    TableLayout layout;
    std::int64_t totalCells;
    std::uint32_t seed;
    std::uint64_t pairsPerChunk;
    std::uint64_t chunks;
    std::vector<Slot> slots;
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t nextChunk = 0;  // the next one a worker takes
    bool stopping = false;
};

// A worker: takes the chunks in turn and fills their buffers.
void drawChunks(Pipeline& pipeline) {
    const RandSequence start(pipeline.seed);
    RandSequence sequence = start;
    std::uint64_t position = 0;  // draws made since the start
    const std::uint64_t drawsPerChunk = 2 * pipeline.pairsPerChunk;
    for (;;) {
        std::uint64_t chunk = 0;
        Slot* slot = nullptr;
        {
            std::unique_lock lock(pipeline.mutex);
            if (pipeline.stopping || pipeline.nextChunk == pipeline.chunks) return;
            chunk = pipeline.nextChunk++;
            slot = &pipeline.slots[chunk % pipeline.slots.size()];
            pipeline.changed.wait(lock, [&] { return pipeline.stopping || slot->chunk == chunk; });
            if (pipeline.stopping) return;
        }
        // The buffer is this worker's alone until it is marked full.
        const std::uint64_t firstDraw = chunk * drawsPerChunk;
        if (position > firstDraw) {  // the last chunk's last sample ran into this one
            sequence = start;
            position = 0;
        }
        sequence.skip(firstDraw - position);
        const auto guessedFirst = static_cast<std::int64_t>(chunk * pipeline.pairsPerChunk - slot->rejectedBefore);
        const std::int64_t count =
            std::min(static_cast<std::int64_t>(pipeline.pairsPerChunk), pipeline.totalCells - guessedFirst);
        CountedDraws<RandSequence> draws{sequence};
        const CellsWritten written =
            writeTableCells(slot->text.get(), pipeline.layout, guessedFirst, count, draws, drawsPerChunk);
        position = firstDraw + draws.count;
        slot->guessedFirst = guessedFirst;
        slot->cells = written.cells;
        slot->size = static_cast<std::size_t>(written.end - slot->text.get());
        slot->drawsUsed = std::min(draws.count, drawsPerChunk);
        {
            const std::lock_guard lock(pipeline.mutex);
            slot->full = true;
        }
        pipeline.changed.notify_all();
    }
}

// The text of cells written as if the first were another, with its line
// feeds where they fall when the first cell is `first`.
std::string_view moveLineFeeds(std::string_view text, std::int64_t first, std::int64_t samplesPerRun,
                               std::string& moved) {
    moved.clear();
    std::int64_t cell = first;
    bool cellBegins = true;
    for (const char c : text) {
        if (c == '\n') continue;
        if (cellBegins && cell % samplesPerRun == 0 && cell != 0) moved += '\n';
        cellBegins = c == ',';
        if (cellBegins) ++cell;
        moved += c;
    }
    return moved;
}

// The writer: hands the chunks to the output in order. Leaves in `cells` the
// cells written and in `position` the draws their chunks used.
bool writeChunks(BlockWriter& out, Pipeline& pipeline, Progress* progress, std::int64_t& cells,
                 std::uint64_t& position) {
    std::string moved;
    for (std::uint64_t chunk = 0; chunk < pipeline.chunks; ++chunk) {
        Slot& slot = pipeline.slots[chunk % pipeline.slots.size()];
        {
            std::unique_lock lock(pipeline.mutex);
            pipeline.changed.wait(lock, [&] { return slot.full; });
        }
        std::string_view text(slot.text.get(), slot.size);
        if (slot.guessedFirst != cells && pipeline.layout.format.rowSeparators) {
            text = moveLineFeeds(text, cells, pipeline.layout.samplesPerRun, moved);
        }
        if (!out.writeThrough(text)) return false;
        cells += slot.cells;
        position = 2 * chunk * pipeline.pairsPerChunk + slot.drawsUsed;
        {
            const std::lock_guard lock(pipeline.mutex);
            slot.full = false;
            slot.chunk = chunk + pipeline.slots.size();
            slot.rejectedBefore = (chunk + 1) * pipeline.pairsPerChunk - static_cast<std::uint64_t>(cells);
        }
        pipeline.changed.notify_all();
        if (progress != nullptr) progress->update(cells, out.size());
    }
    return true;
}

}  // namespace

bool writeThreadedNoiseTable(BlockWriter& out, const RunSettings& settings, std::uint32_t seed, unsigned workers,
                             std::uint64_t pairsPerChunk, Progress* progress) {
    const std::int64_t totalCells = tableCellCount(settings);
    const std::uint64_t chunkPairs = std::max<std::uint64_t>(pairsPerChunk, 1);
    const std::uint64_t chunks = (static_cast<std::uint64_t>(totalCells) + chunkPairs - 1) / chunkPairs;
    RandSequence draws(seed);
    if (workers == 0 || chunks < 2) return writeNoiseTable(out, settings, draws, progress);

    Pipeline pipeline{tableLayout(settings), totalCells, seed, chunkPairs, chunks, {}, {}, {}};
    // Two buffers a worker: one to fill while the writer writes the other.
    const auto threads = static_cast<unsigned>(std::min<std::uint64_t>(workers, chunks));
    pipeline.slots.resize(static_cast<std::size_t>(std::min<std::uint64_t>(2 * std::uint64_t{threads}, chunks)));
    for (std::size_t i = 0; i < pipeline.slots.size(); ++i) {
        pipeline.slots[i].chunk = i;
        pipeline.slots[i].text = std::make_unique_for_overwrite<char[]>(
            tableCellsRoom(pipeline.layout.format, static_cast<std::int64_t>(chunkPairs)));
    }
    std::vector<std::thread> running;
    try {
        for (unsigned i = 0; i < threads; ++i) running.emplace_back(drawChunks, std::ref(pipeline));
    } catch (const std::system_error&) {
        // Fewer workers do the same work; none leaves it to this thread.
        if (running.empty()) return writeNoiseTable(out, settings, draws, progress);
    }

    std::int64_t cells = 0;
    std::uint64_t position = 0;
    const bool written = writeChunks(out, pipeline, progress, cells, position);
    {
        const std::lock_guard lock(pipeline.mutex);
        pipeline.stopping = true;
    }
    pipeline.changed.notify_all();
    for (std::thread& worker : running) worker.join();
    if (!written) return false;

    if (cells < totalCells) {
        draws.skip(position);
        if (!writeCellRange(out, pipeline.layout, cells, totalCells - cells, draws, progress)) return false;
    }
    if (!out.flush()) return false;
    if (progress != nullptr) progress->finish(totalCells, out.size());
    return true;
}

unsigned availableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
    return std::max(1U, std::thread::hardware_concurrency());
}

}  // namespace gaussian_noise
