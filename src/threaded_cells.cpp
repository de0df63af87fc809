#include "threaded_cells.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>
#include <vector>

#include "rand_sequence.h"

namespace gaussian_noise {
namespace {

// Chunk c is pairs c*P .. c*P+P-1 of the sequence (P pairs per chunk), and
// its cells are the samples of those pairs not thrown away: it never reaches
// into the next chunk. Where its rows break depends on its first cell's
// index, c*P less the pairs thrown away before it, which only the chunks
// before it can tell. The writer learns that index exactly as it takes the
// chunks in order. A worker lays its chunk out with the count of thrown pairs
// the writer knew when it freed the worker's buffer (every chunk up to one
// round of buffers before); in the rare chunk whose first cell a pair thrown
// away since has moved (about once in 2^31 pairs), the writer draws the
// chunk again itself. The last chunk ends at the table's last cell.

struct Slot {
    std::unique_ptr<char[]> text;  // room for a whole chunk
    std::uint64_t chunk = 0;       // the chunk it holds, or is free for
    bool full = false;             // holds its chunk, for the writer
    // Pairs thrown away before `chunk`, as the writer knew them when it freed
    // the slot: all but those in chunks other slots held then.
    std::uint64_t thrownBefore = 0;
    std::int64_t first = 0;  // the index of the chunk's first cell it was laid out from
    DrawnCells drawn{};
};

struct Pipeline {
    const Table& table;
    std::uint32_t seed;
    std::uint64_t pairsPerChunk;
    std::uint64_t chunks;
    std::vector<Slot> slots;
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t nextChunk = 0;  // the next one a worker takes
    bool stopping = false;
};

// Draws the chunk that starts where `sequence` stands into `text`, its first
// cell being cell `first` of the table.
DrawnCells drawChunk(char* text, const Pipeline& pipeline, RandSequence& sequence, std::int64_t first) {
    return drawCells(text, pipeline.table, sequence, first, pipeline.table.cells - first, pipeline.pairsPerChunk);
}

// A worker: takes the chunks in turn and fills their buffers.
void drawChunks(Pipeline& pipeline) {
    RandSequence sequence(pipeline.seed);
    std::uint64_t position = 0;  // pairs drawn so far; a worker's chunks only go forward
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
        const std::uint64_t firstPair = chunk * pipeline.pairsPerChunk;
        sequence.skip(2 * (firstPair - position));
        slot->first = static_cast<std::int64_t>(firstPair - slot->thrownBefore);
        slot->drawn = drawChunk(slot->text.get(), pipeline, sequence, slot->first);
        position = firstPair + slot->drawn.pairs;
        {
            const std::lock_guard lock(pipeline.mutex);
            slot->full = true;
        }
        pipeline.changed.notify_all();
    }
}

// The writer: hands the chunks to the output in order, counting in `done`.
bool writeChunks(BlockWriter& out, Pipeline& pipeline, Progress* progress, ThreadedCells& done) {
    for (std::uint64_t chunk = 0; chunk < pipeline.chunks; ++chunk) {
        Slot& slot = pipeline.slots[chunk % pipeline.slots.size()];
        {
            std::unique_lock lock(pipeline.mutex);
            pipeline.changed.wait(lock, [&] { return slot.full; });
        }
        const std::uint64_t firstPair = chunk * pipeline.pairsPerChunk;
        if (slot.first != done.cells) {  // a pair thrown away since moved the chunk's cells
            RandSequence sequence(pipeline.seed);
            sequence.skip(2 * firstPair);
            slot.drawn = drawChunk(slot.text.get(), pipeline, sequence, done.cells);
        }
        const char* text = slot.text.get();
        if (!out.writeThrough(std::string_view(text, static_cast<std::size_t>(slot.drawn.end - text)))) return false;
        done.cells += slot.drawn.cells;
        done.pairs = firstPair + slot.drawn.pairs;
        {
            const std::lock_guard lock(pipeline.mutex);
            slot.full = false;
            slot.chunk = chunk + pipeline.slots.size();
            slot.thrownBefore = firstPair + pipeline.pairsPerChunk - static_cast<std::uint64_t>(done.cells);
        }
        pipeline.changed.notify_all();
        if (progress != nullptr) progress->update(done.cells, out.size());
    }
    return true;
}

// Gives the pipeline up to `count` buffers, as many as memory allows; true
// when it got at least one.
bool allocateSlots(Pipeline& pipeline, std::size_t count) {
    const std::size_t room = cellsRoom(pipeline.table.format, static_cast<std::int64_t>(pipeline.pairsPerChunk));
    try {
        pipeline.slots.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            std::unique_ptr<char[]> text(new (std::nothrow) char[room]);
            if (text == nullptr) break;
            pipeline.slots.emplace_back().text = std::move(text);
            pipeline.slots.back().chunk = i;
        }
    } catch (const std::bad_alloc&) {
        // As many buffers as there are serve.
    }
    return !pipeline.slots.empty();
}

}  // namespace

ThreadedCells writeThreadedCells(BlockWriter& out, const Table& table, std::uint32_t seed, unsigned workers,
                                 std::uint64_t pairsPerChunk, Progress* progress) {
    const std::uint64_t chunkPairs = std::max<std::uint64_t>(pairsPerChunk, 1);
    const std::uint64_t chunks = (static_cast<std::uint64_t>(table.cells) + chunkPairs - 1) / chunkPairs;
    if (workers == 0 || chunks < 2) return {};

    Pipeline pipeline{table, seed, chunkPairs, chunks, {}, {}, {}};
    // Two buffers a worker: one to fill while the writer writes the other.
    const std::uint64_t threads = std::min<std::uint64_t>(workers, chunks);
    if (!allocateSlots(pipeline, static_cast<std::size_t>(std::min(2 * threads, chunks)))) return {};
    std::vector<std::thread> running;
    try {
        running.reserve(static_cast<std::size_t>(threads));
        while (running.size() < std::min<std::uint64_t>(threads, pipeline.slots.size())) {
            running.emplace_back(drawChunks, std::ref(pipeline));
        }
    } catch (const std::exception&) {
        // No thread or no memory for one: fewer workers do the same work.
        if (running.empty()) return {};
    }

    ThreadedCells done;
    done.written = writeChunks(out, pipeline, progress, done);
    {
        const std::lock_guard lock(pipeline.mutex);
        pipeline.stopping = true;
    }
    pipeline.changed.notify_all();
    for (std::thread& worker : running) worker.join();
    return done;
}

unsigned availableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
    return std::max(1U, std::thread::hardware_concurrency());
}

}  // namespace gaussian_noise
