#include "table/threaded_cells.h"

#include <pthread.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>

#include "cli/run_settings.h"
#include "draws/rand_sequence.h"
#include "io/progress.h"

namespace gaussian_noise {
namespace {

// Chunk c is pairs F+c*P .. F+c*P+P-1 of the sequence (P pairs per chunk, F
// the pair of the run's first cell), and
// its cells are the samples of those pairs not thrown away: it never reaches
// into the next chunk. Where its rows break depends on its first cell's
// index, c*P less the pairs thrown away since F, which only the chunks
// before it can tell. The writer learns that index exactly as it takes the
// chunks in order. A worker lays its chunk out with the count of thrown pairs
// the writer knew when it freed the worker's buffer (every chunk up to one
// round of buffers before); in the rare chunk whose first cell a pair thrown
// away since has moved (about once in 2^31 pairs), the writer draws the
// chunk again itself. The last chunk ends at the table's last cell.

// Frees what malloc gave.
struct Free {
    void operator()(char* memory) const noexcept { std::free(memory); }  // NOLINT(cppcoreguidelines-no-malloc)
};

// A slot is waited on by the writer (until it is full) and by the worker
// whose chunk comes next in it (until it is free for that chunk), on its own
// condition: a hand-off wakes those two alone, not every thread.
struct Slot {
    std::condition_variable changed;
    std::unique_ptr<char, Free> text;  // room for a whole chunk
    std::uint64_t chunk = 0;           // the chunk it holds, or is free for
    bool full = false;                 // holds its chunk, for the writer
    // Pairs thrown away before `chunk`, as the writer knew them when it freed
    // the slot: all but those in chunks other slots held then.
    std::uint64_t thrownBefore = 0;
    std::int64_t first = 0;  // the index of the chunk's first cell it was laid out from
    DrawnCells drawn{};

    // Frees the buffer and forgets the chunk; the condition stays.
    void empty() noexcept {
        text.reset();
        chunk = 0;
        full = false;
        thrownBefore = 0;
        first = 0;
        drawn = {};
    }
};

struct Pipeline {
    const Table& table;
    std::uint32_t seed;
    std::uint64_t firstPair;  // of the sequence, that chunk 0 begins with
    std::uint64_t pairsPerChunk;
    std::uint64_t chunks;
    std::span<Slot> slots;
    std::mutex mutex;
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
    std::uint64_t position = 0;  // pairs drawn so far, less firstPair; a worker's chunks only go forward
    sequence.skip(2 * pipeline.firstPair);
    for (;;) {
        std::uint64_t chunk = 0;
        Slot* slot = nullptr;
        {
            std::unique_lock lock(pipeline.mutex);
            if (pipeline.stopping || pipeline.nextChunk == pipeline.chunks) return;
            chunk = pipeline.nextChunk++;
            slot = &pipeline.slots[chunk % pipeline.slots.size()];
            slot->changed.wait(lock, [&] { return pipeline.stopping || slot->chunk == chunk; });
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
        slot->changed.notify_all();
    }
}

// The writer: hands the chunks to the output in order, counting in `done`.
bool writeChunks(BlockWriter& out, Pipeline& pipeline, Progress* progress, ThreadedCells& done) {
    for (std::uint64_t chunk = 0; chunk < pipeline.chunks; ++chunk) {
        Slot& slot = pipeline.slots[chunk % pipeline.slots.size()];
        {
            std::unique_lock lock(pipeline.mutex);
            slot.changed.wait(lock, [&] { return slot.full; });
        }
        const std::uint64_t firstPair = chunk * pipeline.pairsPerChunk;
        if (slot.first != done.cells) {  // a pair thrown away since moved the chunk's cells
            RandSequence sequence(pipeline.seed);
            sequence.skip(2 * (pipeline.firstPair + firstPair));
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
        slot.changed.notify_all();
        if (progress != nullptr) progress->update(done.cells, out.written());
    }
    return true;
}

// Gives the slots buffers, as many as memory allows, each free for the
// chunk of its index. Returns the slots that got one (none where memory has
// room for none). malloc, not new: even new's nothrow form throws and
// catches within, which a process out of memory may have no room for.
std::span<Slot> allocateSlots(std::span<Slot> slots, std::size_t room) noexcept {
    std::size_t allocated = 0;
    for (; allocated < slots.size(); ++allocated) {
        Slot& slot = slots[allocated];
        slot.empty();
        slot.text.reset(static_cast<char*>(std::malloc(room)));  // NOLINT(cppcoreguidelines-no-malloc)
        if (slot.text == nullptr) break;
        slot.chunk = allocated;
    }
    return slots.first(allocated);
}

// Frees the slots' buffers and empties them when it goes.
class FreedOnExit {
public:
    explicit FreedOnExit(std::span<Slot> slots) noexcept : slots_(slots) {}
    ~FreedOnExit() {
        std::for_each(slots_.begin(), slots_.end(), [](Slot& slot) { slot.empty(); });
    }
    FreedOnExit(const FreedOnExit&) = delete;
    FreedOnExit& operator=(const FreedOnExit&) = delete;
    FreedOnExit(FreedOnExit&&) = delete;
    FreedOnExit& operator=(FreedOnExit&&) = delete;

private:
    std::span<Slot> slots_;
};

// The worker threads, started as far as the system allows, stopped and
// joined on every way out of the scope that holds them. POSIX threads
// rather than std::thread: starting one reports a failure by its result,
// not by an exception that a process out of memory may have no room to throw.
class Workers {
public:
    Workers(Pipeline& pipeline, std::uint64_t count) noexcept : pipeline_(pipeline) {
        while (started_ < std::min<std::uint64_t>(count, threads_.size()) &&
               ::pthread_create(&threads_[started_], nullptr, &Workers::run, &pipeline) == 0) {
            ++started_;
        }
    }
    ~Workers() {
        {
            const std::lock_guard lock(pipeline_.mutex);
            pipeline_.stopping = true;
        }
        for (Slot& slot : pipeline_.slots) slot.changed.notify_all();
        for (std::size_t i = 0; i < started_; ++i) ::pthread_join(threads_[i], nullptr);
    }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;
    Workers(Workers&&) = delete;
    Workers& operator=(Workers&&) = delete;

    [[nodiscard]] std::size_t started() const noexcept { return started_; }

private:
    static void* run(void* pipeline) {
        drawChunks(*static_cast<Pipeline*>(pipeline));
        return nullptr;
    }

    Pipeline& pipeline_;
    std::array<pthread_t, maxThreads> threads_{};
    std::size_t started_ = 0;
};

}  // namespace

ThreadedCells writeThreadedCells(BlockWriter& out, const Table& table, std::uint32_t seed, std::uint64_t firstPair,
                                 unsigned workers, std::uint64_t pairsPerChunk, Progress* progress) {
    const std::uint64_t chunkPairs = std::max<std::uint64_t>(pairsPerChunk, 1);
    const std::uint64_t chunks = (static_cast<std::uint64_t>(table.cells) + chunkPairs - 1) / chunkPairs;
    if (workers == 0 || chunks < 2) return {};

    // Two buffers a worker: one to fill while the writer writes the other.
    const auto threads = std::min<std::uint64_t>({workers, chunks, maxThreads});
    // Static, for they are too large for a stack; their buffers go on every way out.
    static std::array<Slot, std::size_t{2} * maxThreads> slots;
    const std::span<Slot> allocated =
        allocateSlots(std::span(slots).first(static_cast<std::size_t>(std::min(2 * threads, chunks))),
                      cellsRoom(table.format, static_cast<std::int64_t>(chunkPairs)));
    const FreedOnExit freed{allocated};
    if (allocated.empty()) return {};
    Pipeline pipeline{table, seed, firstPair, chunkPairs, chunks, allocated, {}};
    // No thread: the caller writes the table alone. Fewer: they do the same work.
    const Workers running(pipeline, std::min<std::uint64_t>(threads, pipeline.slots.size()));
    if (running.started() == 0) return {};

    ThreadedCells done;
    done.written = writeChunks(out, pipeline, progress, done);
    return done;
}

}  // namespace gaussian_noise
