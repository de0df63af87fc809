#include "draws/thrown_pair_scan.h"

#include <pthread.h>

#include <algorithm>
#include <array>
#include <cstddef>

#include "cli/run_settings.h"
#include "cpu.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace gaussian_noise {

namespace {

constexpr unsigned lag = RandSequence::lag;
constexpr unsigned tap = RandSequence::tap;

std::array<std::uint32_t, scanLanes> advanceLanesPortable(ScanLanes& lanes, std::uint64_t blocks) noexcept {
    std::array<std::uint32_t, scanLanes> least{};
    least.fill(~0U);
    for (std::size_t k = 0; k < lanes.size(); ++k) {
        RandSequence::Block& words = lanes[k];
        for (std::uint64_t block = 0; block < blocks; ++block) {
            for (unsigned j = 0; j < lag; ++j) {
                words[j] += j < tap ? words[j + lag - tap] : words[j - tap];
                least[k] = std::min(least[k], words[j]);
            }
        }
    }
    return least;
}

#if defined(__x86_64__)
// Eight of the lanes, from `lanes` on, with their least words from `least` on.
[[gnu::target("avx2")]] void advanceEightLanesAvx2(RandSequence::Block* lanes, std::uint64_t blocks,
                                                   std::uint32_t* least) noexcept {
    // Word j of every lane in one register: words[j] holds r[b+j] of each.
    __m256i words[lag];  // NOLINT(cppcoreguidelines-avoid-c-arrays,cppcoreguidelines-pro-type-member-init): every word
                         // is set first
    for (unsigned j = 0; j < lag; ++j) {
        words[j] = _mm256_setr_epi32(static_cast<int>(lanes[0][j]), static_cast<int>(lanes[1][j]),
                                     static_cast<int>(lanes[2][j]), static_cast<int>(lanes[3][j]),
                                     static_cast<int>(lanes[4][j]), static_cast<int>(lanes[5][j]),
                                     static_cast<int>(lanes[6][j]), static_cast<int>(lanes[7][j]));
    }
    __m256i smallest = _mm256_set1_epi32(-1);
    for (std::uint64_t block = 0; block < blocks; ++block) {
        // As refill(): the newest word of each of the three chains in a register.
        __m256i newest0 = words[lag - tap];
        __m256i newest1 = words[lag - tap + 1];
        __m256i newest2 = words[lag - tap + 2];
        for (unsigned j = 0; j + tap <= lag; j += tap) {
            newest0 = words[j] = _mm256_add_epi32(words[j], newest0);
            newest1 = words[j + 1] = _mm256_add_epi32(words[j + 1], newest1);
            newest2 = words[j + 2] = _mm256_add_epi32(words[j + 2], newest2);
            smallest = _mm256_min_epu32(smallest, _mm256_min_epu32(newest0, _mm256_min_epu32(newest1, newest2)));
        }
        words[lag - 1] = _mm256_add_epi32(words[lag - 1], newest0);
        smallest = _mm256_min_epu32(smallest, words[lag - 1]);
    }
    std::array<std::uint32_t, 8> lane{};
    for (unsigned j = 0; j < lag; ++j) {
        _mm256_storeu_si256(static_cast<__m256i*>(static_cast<void*>(lane.data())), words[j]);
        for (std::size_t k = 0; k < lane.size(); ++k) lanes[k][j] = lane[k];
    }
    _mm256_storeu_si256(static_cast<__m256i*>(static_cast<void*>(least)), smallest);
}

// Eight lanes a register: the first eight, then the others.
[[gnu::target("avx2")]] std::array<std::uint32_t, scanLanes> advanceLanesAvx2(ScanLanes& lanes,
                                                                              std::uint64_t blocks) noexcept {
    static_assert(scanLanes % 8 == 0);
    std::array<std::uint32_t, scanLanes> least{};
    for (std::size_t k = 0; k < scanLanes; k += 8) advanceEightLanesAvx2(&lanes[k], blocks, &least[k]);
    return least;
}

// All sixteen lanes in one register, word j of each in words[j]: the 31
// words and the least take the 32 registers AVX-512 has. The words move in
// and out by gather and scatter, lane k's word j being 31 k + j words past
// its lane's first.
[[gnu::target("avx512f")]] std::array<std::uint32_t, scanLanes> advanceLanesAvx512(ScanLanes& lanes,
                                                                                   std::uint64_t blocks) noexcept {
    static_assert(scanLanes == 16 && sizeof(RandSequence::Block) == lag * sizeof(std::uint32_t));
    const __m512i place = _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                                             _mm512_set1_epi32(static_cast<int>(lag)));
    std::uint32_t* first = lanes[0].data();
    __m512i words[lag];  // NOLINT(cppcoreguidelines-avoid-c-arrays,cppcoreguidelines-pro-type-member-init): every word
                         // is set first
    for (unsigned j = 0; j < lag; ++j) words[j] = _mm512_i32gather_epi32(place, first + j, 4);
    __m512i smallest = _mm512_set1_epi32(-1);
    for (std::uint64_t block = 0; block < blocks; ++block) {
        __m512i newest0 = words[lag - tap];
        __m512i newest1 = words[lag - tap + 1];
        __m512i newest2 = words[lag - tap + 2];
        for (unsigned j = 0; j + tap <= lag; j += tap) {
            newest0 = words[j] = _mm512_add_epi32(words[j], newest0);
            newest1 = words[j + 1] = _mm512_add_epi32(words[j + 1], newest1);
            newest2 = words[j + 2] = _mm512_add_epi32(words[j + 2], newest2);
            smallest = _mm512_min_epu32(smallest, _mm512_min_epu32(newest0, _mm512_min_epu32(newest1, newest2)));
        }
        words[lag - 1] = _mm512_add_epi32(words[lag - 1], newest0);
        smallest = _mm512_min_epu32(smallest, words[lag - 1]);
    }
    for (unsigned j = 0; j < lag; ++j) _mm512_i32scatter_epi32(first + j, place, words[j], 4);
    std::array<std::uint32_t, scanLanes> least{};
    _mm512_storeu_si512(least.data(), smallest);
    return least;
}
#endif

}  // namespace

namespace {

constexpr std::array scanKernels {
    ScanKernel{"portable", cpu::any, advanceLanesPortable},
#if defined(__x86_64__)
        ScanKernel{"avx2", cpu::avx2, advanceLanesAvx2}, ScanKernel{"avx512", cpu::avx512f, advanceLanesAvx512},
#endif
};

}  // namespace

std::span<const ScanKernel> scanKernelVariants() noexcept { return scanKernels; }

const ScanKernel& chosenScanKernel() noexcept {
    static const auto& chosen = cpu::lastSupported<ScanKernel>(scanKernels);
    return chosen;
}

unsigned advanceSideBySide(std::span<RandSequence, scanLanes> sequences, std::uint64_t pairs,
                           const ScanKernel& kernel) noexcept {
    ScanLanes lanes{};
    for (std::size_t k = 0; k < lanes.size(); ++k) {
        lanes[k] = sequences[k].blockAtEnd();
    }
    const std::array<std::uint32_t, scanLanes> least = kernel.advance(lanes, 2 * pairs / lag);
    unsigned mayHavePassed = 0;
    for (std::size_t k = 0; k < lanes.size(); ++k) {
        sequences[k].standAtEndOf(lanes[k]);
        if (least[k] >> 1U == 0) mayHavePassed |= 1U << k;
    }
    return mayHavePassed;
}

std::uint64_t findThrownPair(RandSequence& sequence, std::uint64_t pairs) noexcept {
    for (std::uint64_t passed = 0; passed < pairs; ++passed) {
        const bool thrown = sequence() == 0;
        (void)sequence();
        if (thrown) return passed;
    }
    return pairs;
}

namespace {

// A stretch of pairs to scan, and the thrown pairs found in it: at most
// `capacity` of them (no more than maxFoundPerRange), for no heap is used;
// a range that finds more stops where its room ran out, and the rest of it
// is scanned on its own (handOver).
struct Range {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
    std::uint64_t reached = 0;  // scanned up to here: `end` unless `found` filled up
    std::array<std::uint64_t, maxFoundPerRange> found{};
    std::size_t count = 0;
};

// Scans pairs at .. end-1 of `range` with `sequence` standing at pair `at`,
// keeping at most `capacity` found pairs; false when they fill up first.
bool scanPairs(RandSequence& sequence, Range& range, std::uint64_t at, std::uint64_t end,
               std::size_t capacity) noexcept {
    while (at < end) {
        if (range.count == capacity) {
            range.reached = at;
            return false;
        }
        at += findThrownPair(sequence, end - at);
        if (at == end) break;
        range.found[range.count++] = at++;
    }
    range.reached = end;
    return true;
}

// Each thread scans its stretch as scanLanes + 2 ranges, in order: a head up
// to a multiple of 31 pairs, the lanes of equal length side by side in
// vector registers, and the tail.
constexpr std::size_t rangesPerThread = scanLanes + 2;
// Pairs the lanes move on between two looks at whether one passed a thrown pair.
constexpr std::uint64_t lanePairsPerLook = std::uint64_t{RandSequence::lag} * 64;

struct Stretch {
    std::uint32_t seed = 0;
    std::size_t capacity = maxFoundPerRange;
    std::array<Range, rangesPerThread> ranges;
};

// Splits pairs first .. end-1 into the stretch's ranges.
void split(Stretch& stretch, std::uint64_t first, std::uint64_t end) noexcept {
    const std::uint64_t headEnd = std::min<std::uint64_t>(end, (first + lag - 1) / lag * lag);
    const std::uint64_t laneLength = (end - headEnd) / scanLanes / lanePairsPerLook * lanePairsPerLook;
    std::uint64_t at = first;
    for (std::size_t i = 0; i < rangesPerThread; ++i) {
        Range& range = stretch.ranges[i];
        range.first = at;
        at = i == 0 ? headEnd : i <= scanLanes ? at + laneLength : end;
        range.end = at;
        range.reached = range.first;
        range.count = 0;
    }
}

void scan(Stretch& stretch) noexcept {
    std::array<Range, rangesPerThread>& ranges = stretch.ranges;
    const auto alone = [&](Range& range) {
        RandSequence sequence(stretch.seed);
        sequence.skip(2 * range.first);
        (void)scanPairs(sequence, range, range.first, range.end, stretch.capacity);
    };
    alone(ranges.front());
    alone(ranges.back());
    const std::span<Range, scanLanes> laneRanges(ranges.data() + 1, scanLanes);
    std::array<RandSequence, scanLanes> sequences = sameSequences<scanLanes>(RandSequence(stretch.seed));
    for (std::size_t k = 0; k < scanLanes; ++k) sequences[k].skip(2 * laneRanges[k].first);
    // A lane whose room filled up keeps moving with the others but looks no
    // more: its range stops where it filled, and the rest is scanned apart.
    std::array<bool, scanLanes> full{};
    const std::uint64_t length = laneRanges[0].end - laneRanges[0].first;
    for (std::uint64_t at = 0; at < length; at += lanePairsPerLook) {
        const std::array<RandSequence, scanLanes> before = sequences;
        const unsigned mayHavePassed = advanceSideBySide(sequences, lanePairsPerLook);
        for (std::size_t k = 0; k < scanLanes; ++k) {
            if ((mayHavePassed >> k & 1U) == 0 || full[k]) continue;
            // Rare: the lane's pairs again one by one, to find which.
            RandSequence again = before[k];
            Range& range = laneRanges[k];
            full[k] = !scanPairs(again, range, range.first + at, range.first + at + lanePairsPerLook, stretch.capacity);
        }
    }
    for (std::size_t k = 0; k < scanLanes; ++k) {
        if (!full[k]) laneRanges[k].reached = laneRanges[k].end;
    }
}

void* scanOnThread(void* stretch) {
    scan(*static_cast<Stretch*>(stretch));
    return nullptr;
}

void handFound(const Range& range, FoundPair found) {
    std::for_each(range.found.begin(), range.found.begin() + static_cast<std::ptrdiff_t>(range.count), found);
}

// Hands the range's found pairs over in order; where its room filled up,
// scans the rest of it in the same way, handing its thrown pairs over as
// their room fills. With the room of a range sixty times the thrown pairs it
// holds on average, that is for lowered capacities alone.
void handOver(std::uint32_t seed, const Range& range, FoundPair found) {
    handFound(range, found);
    if (range.reached == range.end) return;
    RandSequence sequence(seed);
    sequence.skip(2 * range.reached);
    Range rest = range;
    while (rest.reached < rest.end) {
        rest.count = 0;
        (void)scanPairs(sequence, rest, rest.reached, rest.end, maxFoundPerRange);
        handFound(rest, found);
    }
}

// Fewer pairs than this a thread are scanned faster than a thread starts.
constexpr std::uint64_t leastPairsPerThread = std::uint64_t{1} << 17;
// More than this a thread make a round (about a second here): the rounds
// keep a report of progress coming and the ranges short.
constexpr std::uint64_t mostPairsPerThread = std::uint64_t{1} << 32;

// The threads' stretches: static, for they are too large for a thread's stack
// (the scan runs on the process's main thread alone).
std::array<Stretch, maxThreads> stretches;

}  // namespace

void forEachThrownPair(std::uint32_t seed, std::uint64_t first, std::uint64_t end, unsigned threads, FoundPair found,
                       ScanProgress progress, std::size_t capacity) {
    capacity = std::clamp<std::size_t>(capacity, 1, maxFoundPerRange);
    std::array<pthread_t, maxThreads> ids{};
    std::array<bool, maxThreads> started{};
    while (first < end) {
        const std::uint64_t pairs = end - first;
        const auto count = static_cast<std::size_t>(
            std::clamp<std::uint64_t>(std::min<std::uint64_t>(threads, pairs / leastPairsPerThread), 1, maxThreads));
        const std::uint64_t step = std::min(pairs / count, mostPairsPerThread);
        const std::uint64_t roundEnd = step == pairs / count ? end : first + count * step;
        for (std::size_t i = 0; i < count; ++i) {
            stretches[i].seed = seed;
            stretches[i].capacity = capacity;
            split(stretches[i], first + i * step, i + 1 == count ? roundEnd : first + (i + 1) * step);
        }
        for (std::size_t i = 1; i < count; ++i) {
            started[i] = ::pthread_create(&ids[i], nullptr, scanOnThread, &stretches[i]) == 0;
        }
        scan(stretches[0]);
        for (std::size_t i = 1; i < count; ++i) {
            if (started[i]) {
                ::pthread_join(ids[i], nullptr);
            } else {
                scan(stretches[i]);
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            for (const Range& range : stretches[i].ranges) handOver(seed, range, found);
        }
        first = roundEnd;
        progress(first);
    }
}

std::uint64_t pairOfCellByScan(std::uint32_t seed, std::int64_t cell, unsigned threads, FoundPair found,
                               FunctionRef<void(std::int64_t)> progress) {
    // P = cell + the pairs thrown before P, reached from below, each round
    // scanning only the pairs the last one added.
    std::uint64_t scanned = 0;
    std::uint64_t thrown = 0;  // among pairs 0 .. scanned-1, and then those found since
    auto pair = static_cast<std::uint64_t>(cell);
    const auto count = [&](std::uint64_t at) {
        found(at);
        ++thrown;
    };
    const auto passed = [&](std::uint64_t at) { progress(static_cast<std::int64_t>(at - thrown)); };
    while (scanned < pair) {
        forEachThrownPair(seed, scanned, pair, threads, count, passed);
        scanned = pair;
        pair = static_cast<std::uint64_t>(cell) + thrown;
    }
    return pair;
}

}  // namespace gaussian_noise
