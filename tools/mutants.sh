#!/usr/bin/env bash
# Mutation testing: puts small faults (mutants) into a scratch copy of the
# sources one at a time, rebuilds, runs the test suite on each, and
# reports which faults no test catches.
#
#   tools/mutants.sh           every mutant, the equivalent ones too
#   tools/mutants.sh --quick   14 of them, as CI runs: the generator's, the write
#                              path's, the threads' and the vector math's
#   tools/mutants.sh NAME...   the mutants named
#
# Each mutant is one exact text replacement in one file. The script stops
# before building anything when a mutant's text is not found exactly once, so
# the list cannot go stale unnoticed. Exit status: 0 when every mutant is
# killed and every equivalent one survives, 1 otherwise, 2 on a usage or
# build problem.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

quick=false
chosen=()
case "${1-}" in
  --quick) quick=true ;;
  -*) echo "usage: $0 [--quick | NAME...]" >&2; exit 2 ;;
  *) chosen=("$@") ;;
esac

names=() files=() froms=() tos=() reasons=() inQuick=()
# mutant quick|full NAME FILE FROM TO: a fault some test must catch; the quick
# ones are also run by --quick.
mutant() {
  inQuick+=("$([[ $1 == quick ]] && echo true || echo false)")
  names+=("$2") files+=("$3") froms+=("$4") tos+=("$5") reasons+=("")
}
# equivalent NAME FILE FROM TO REASON: a change that cannot alter behaviour.
equivalent() { mutant full "$1" "$2" "$3" "$4"; reasons[-1]=$5; }

# --- the generator's arithmetic, src/samples/gaussian_sample.h
g=src/samples/gaussian_sample.h
mutant quick cosine-in-double $g 'out[i] = cosf(in[i]);' 'out[i] = static_cast<float>(std::cos(static_cast<double>(in[i])));'
mutant full sine-for-cosine $g 'out[i] = cosf(in[i]);' 'out[i] = sinf(in[i]);'
mutant full logarithm-in-double $g 'out[i] = logf(in[i]);' 'out[i] = static_cast<float>(std::log(static_cast<double>(in[i])));'
mutant full radius-in-single $g 'const double radius = std::sqrt(-2.0 * static_cast<double>(logarithms[i]));' \
  'const double radius = sqrtf(-2.0F * logarithms[i]);'
mutant full first-uniform-in-single $g 'const float u1 = uniformOf(draws[pair]);' \
  'const float u1 = static_cast<float>(draws[pair]) * static_cast<float>(1.0 / 2147483647.0);'
mutant full second-uniform-in-single $g 'const float u2 = uniformOf(draws[pair + 1]);' \
  'const float u2 = static_cast<float>(draws[pair + 1]) * static_cast<float>(1.0 / 2147483647.0);'
mutant full uniform-over-2-to-the-31 $g 'uniformScale = 1.0 / 2147483647.0;' 'uniformScale = 1.0 / 2147483648.0;'
mutant full angle-in-double $g 'thetas[kept] = angleOf(u2);' \
  'thetas[kept] = static_cast<float>(6.283185307179586 * static_cast<double>(u2));'
mutant full cosine-times-radius-in-single $g 'static_cast<float>(static_cast<double>(cosines[i]) * radius)' \
  'cosines[i] * static_cast<float>(radius)'
mutant full scale-in-double $g 'float sample = mean + sqrtf(variance) * z0;' \
  'float sample = mean + static_cast<float>(std::sqrt(static_cast<double>(variance)) * static_cast<double>(z0));'
mutant full scale-and-shift-in-double $g 'float sample = mean + sqrtf(variance) * z0;' \
  'auto sample = static_cast<float>(mean + static_cast<double>(sqrtf(variance)) * z0);'
mutant quick fused-multiply-add $g 'float sample = mean + sqrtf(variance) * z0;' 'float sample = std::fma(sqrtf(variance), z0, mean);'
mutant full draws-swapped $g $'const float u1 = uniformOf(draws[pair]);\n            const float u2 = uniformOf(draws[pair + 1]);' \
  $'const float u1 = uniformOf(draws[pair + 1]);\n            const float u2 = uniformOf(draws[pair]);'
equivalent nan-sign-left-to-the-processor $g \
  'if (std::isnan(sample) && (!std::isnan(mean) || std::isnan(sqrtf(variance) * z0))) [[unlikely]]' 'if (false)' \
  'x86-64 gives a NaN it makes the sign bit anyway; the aarch64 run of the same-bytes tests catches it there'
mutant full no-rejection $g 'if (u1 <= epsilon) continue;' 'if (u1 < 0.0F) continue;'
equivalent rejection-strictly-below $g 'if (u1 <= epsilon) continue;' 'if (u1 < epsilon) continue;' \
  'no draw gives a u1 between 0 and 1/2147483647 = 4.66e-10, which is far above 2^-126'
equivalent product-of-floats-in-double $g 'float sample = mean + sqrtf(variance) * z0;' \
  'float sample = mean + static_cast<float>(static_cast<double>(sqrtf(variance)) * z0);' \
  'the product of two floats is exact in double, so rounding it once to single gives the single product'
equivalent standard-deviation-in-double $g 'float sample = mean + sqrtf(variance) * z0;' \
  'float sample = mean + static_cast<float>(std::sqrt(static_cast<double>(variance))) * z0;' \
  'a double square root rounded to single equals the single one for every float'

# --- the copy of the C library's sequence, src/draws/rand_sequence.cpp
r=src/draws/rand_sequence.cpp
mutant full sequence-tap-off-by-one $r 'newest[k] = words_[j + k] += newest[k];' 'newest[k] = words_[j + k] += newest[(k + 1) % tap];'
mutant full seeding-constant $r 'word = 16807 * lo - 2836 * hi;' 'word = 16807 * lo - 2837 * hi;'
mutant full one-draw-too-many-thrown $r 'block < 10;' 'block < 11;'
mutant full skip-one-too-far $r 'const std::uint64_t rest = next_ + draws % lag;' 'const std::uint64_t rest = next_ + 1 + draws % lag;'
mutant full skip-fold-tap $r 'product[d - tap] += product[d];' 'product[d - tap - 1] += product[d];'

# --- the write path, src/io/output.cpp and src/io/output.h
w=src/io/output.cpp
mutant quick short-write-drops-the-rest $w 'data.remove_prefix(static_cast<std::size_t>(written));' 'data = {};'
mutant quick interrupted-write-taken-as-done $w 'if (errno == EINTR) continue;' 'if (errno == EINTR) break;'
mutant full interrupted-write-taken-as-failure $w 'if (errno == EINTR) continue;' ''
mutant quick write-error-ignored $w 'return errno;' 'break;'
mutant full buffer-kept-after-flush $w 'end_ = begin_;' ''
mutant quick close-result-ignored $w 'return ::close(fd_) == 0 ? 0 : errno;' 'return 0;'
mutant quick table-left-on-a-standard-descriptor $w \
  'if (fd < 0 || fd > STDERR_FILENO) return fd;' 'return fd;'
mutant full write-taking-nothing-retried $w 'if (written == 0) return ENOSPC;' ''
mutant quick room-beyond-the-buffer-granted src/io/output.h \
  'return size <= static_cast<std::size_t>(limit_ - begin_) && flush();' 'return flush();'
mutant full write-through-error-ignored $w 'error_ = hand(text);' '(void)hand(text);'
mutant full message-control-characters-unescaped src/cli/messages.cpp \
  "if (byte >= 0x20 && byte != 0x7F && c != '\\\\') {" 'if (true) {'

# --- the table, its cells and its progress, src/table/cells.h, src/table/cells.cpp, src/table/table_writer.cpp and src/io/progress.cpp
mutant full line-feed-before-the-first-row src/table/cells.cpp 'column == 0 && first != 0' 'column == 0 && first >= 0'
mutant full batch-takes-pairs-past-the-cells-asked src/table/cells.h \
  '{batchPairs, static_cast<std::uint64_t>(cells - done.cells), pairs - done.pairs}' '{batchPairs, pairs - done.pairs}'
mutant full last-block-not-flushed src/table/table_writer.cpp '||
        !out.flush()) {' ') {'
mutant full npy-without-header src/table/table_writer.cpp 'if (settings.format != TableFormat::npy) return true;' \
  'if (settings.format != TableFormat::f32) return true;'
mutant full progress-counts-the-buffer src/table/table_writer.cpp 'if (out.written() != written) taken = first;' 'taken = first;'
mutant full progress-beside-the-table-by-name-only src/io/progress.cpp \
  'if (::isatty(fd) != 0 && ::isatty(other) != 0) return true;' ''
mutant full progress-line-cut-mid-word src/io/progress.cpp 'if (result.size > limit) result.size = 0;' \
  'result.size = std::min(result.size, limit);'
mutant full line-feeds-in-binary src/table/cells.cpp 'binarySampleSize, false}' 'binarySampleSize, true}'
mutant full checked-draws-of-rand-not-replayed src/draws/rand_sequence.h \
  'return next_ < taken_.size() ? taken_[next_++] : std::rand();' 'return std::rand();'

# --- the threaded table, src/table/threaded_cells.cpp and src/table/table_writer.cpp
t=src/table/threaded_cells.cpp
mutant quick chunk-not-drawn-again-where-a-thrown-pair-moved-it $t 'if (slot.first != done.cells) {' 'if (false) {'
mutant quick tail-drawn-from-the-wrong-pair src/table/table_writer.cpp 'draws.skip(2 * (firstPair + pairs));' \
  'draws.skip(2 * (firstPair + pairs) + 2);'
mutant full chunk-write-failure-ignored $t \
  'if (!out.writeThrough(std::string_view(text, static_cast<std::size_t>(slot.drawn.end - text)))) return false;' \
  '(void)out.writeThrough(std::string_view(text, static_cast<std::size_t>(slot.drawn.end - text)));'
mutant quick no-thread-ends-the-run $t 'if (running.started() == 0) return {};' 'if (running.started() == 0) std::abort();'

# --- parts and ranges of a table, src/draws/thrown_pair_scan.cpp
mutant quick thrown-pairs-before-a-part-not-counted src/draws/thrown_pair_scan.cpp \
  'pair = static_cast<std::uint64_t>(cell) + thrown;' 'pair = static_cast<std::uint64_t>(cell);'
mutant full lanes-never-report-a-thrown-pair src/draws/thrown_pair_scan.cpp 'if (least[k] >> 1U == 0) mayHavePassed' \
  'if (false) mayHavePassed'
mutant full full-range-not-scanned-on src/draws/thrown_pair_scan.cpp '    if (range.reached == range.end) return;' '    return;'
mutant full lane-window-rescanned-one-pair-short src/draws/thrown_pair_scan.cpp \
  'range.first + at + lanePairsPerLook, stretch.capacity' 'range.first + at + lanePairsPerLook - 1, stretch.capacity'
mutant full list-without-closing-line src/draws/thrown_pair_list.cpp \
  'return written && out.writeThrough(closingLine(count, digest.value()).text()) && out.flush();' \
  'return written && out.flush();'
mutant full list-digest-not-checked src/draws/thrown_pair_list.cpp 'if (digest != digest_.value()) {' 'if (false) {'
mutant full rows-ending-at-the-last-row-refused src/cli/command_line.cpp \
  'if (rows.first > runs || rows.last > runs) {' 'if (rows.first > runs || rows.last >= runs) {'
mutant full rows-last-of-zero-read-as-the-end src/cli/command_line.cpp \
  '(!lastText.empty() && *last < *first)' '(*last != 0 && *last < *first)'
mutant full text-ignores-the-rounding-mode src/text/general.cpp \
  'return std::fegetround() == FE_TONEAREST;' 'return true;'
mutant full file-size-limit-a-signal src/main.cpp '(void)std::signal(SIGXFSZ, SIG_IGN);' ''
mutant full progress-killed-by-a-closed-pipe src/io/progress.cpp \
  '(void)writeAllNoSignal(fd_, std::string_view(output' '(void)writeAll(fd_, std::string_view(output'
mutant full part-without-the-line-feed-before-it src/table/table_writer.cpp '!out.writeThrough("\n")) {' \
  '!out.writeThrough("")) {'

# --- the lossless text's lanes, src/text/shortest_avx2.cpp
mutant full shortest-lanes-ties-to-the-upper src/text/shortest_avx2.cpp \
  '_mm256_and_pd(_mm256_cmp_pd(below, above, _CMP_EQ_OQ), sOdd)' '_mm256_cmp_pd(below, above, _CMP_EQ_OQ)'
mutant full shortest-lanes-layout-ignores-leading-zeros src/text/shortest_avx2.cpp \
  '_mm_and_si128(isDigit, _mm_set1_epi8(shift))' '_mm_setzero_si128()'

# --- the vector logf and cosf, src/samples/vector_math.cpp and src/samples/math_choice.cpp
l=src/samples/vector_math.cpp
v=src/samples/math_choice.cpp
mutant quick logf-lanes-table-row-by-the-wrong-bits $l '_mm_srli_epi32(tmp, 19)' '_mm_srli_epi32(tmp, 18)'
mutant full cosf-lanes-quadrant-two-not-negated $l '_mm256_and_si256(topBits(n, 62), signBit)' '_mm256_setzero_si256()'
mutant full cosf-lanes-sine-negated-in-the-wrong-quadrants $l '_mm_add_epi32(n, _mm_set1_epi32(1))' 'n'
equivalent logf-lanes-without-a-fused-multiply-add $l '_mm256_fmsub_pd(z, inverseC, _mm256_set1_pd(1.0))' \
  '_mm256_sub_pd(_mm256_mul_pd(z, inverseC), _mm256_set1_pd(1.0))' \
  'z/c - 1 rounded once or twice gives the same float on every reachable input (the exhaustive test)'
equivalent cosf-lanes-reduced-without-a-fused-multiply-add $l \
  '_mm256_fnmadd_pd(_mm256_cvtepi32_pd(n), _mm256_set1_pd(cosfHalfPi), x)' \
  '_mm256_sub_pd(x, _mm256_mul_pd(_mm256_cvtepi32_pd(n), _mm256_set1_pd(cosfHalfPi)))' \
  'below 2 pi the quadrant is at most 4, and x - n pi/2 rounded once or twice gives the same float on every reachable input'
mutant full last-group-not-computed $l '_mm_storeu_ps(group.data(), function(_mm_loadu_ps(group.data())));' ''
mutant full checkpoints-not-compared $v 'if (std::bit_cast<std::uint32_t>(out[i]) != std::bit_cast<std::uint32_t>(scalar(in[i]))) return false;' ''
mutant full guard-reference-in-double $v 'float libraryLogf(float x) { return logf(x); }' \
  'float libraryLogf(float x) { return static_cast<float>(std::log(static_cast<double>(x))); }'
mutant full cosf-lanes-checked-on-logf-checkpoints $v 'sameBitsOn(math.cos, cos, cosfCheckpoints)' \
  'sameBitsOn(math.cos, cos, logfCheckpoints)'
mutant full replaced-cosf-not-noticed $v 'libraryOwn("libm.so.6", "cosf", cosf)' 'true'
equivalent rounding-mode-not-checked $v 'if (std::fegetround() != FE_TONEAREST) return false;' '' \
  'the lanes do the C library'"'"'s own operations and so round as it does in every mode; where it special-cases a mode (logf(1) rounding downward), x = 1 is a checkpoint'
mutant quick vector-fused-multiply-add $l '_mm_add_ps(means, product)' '_mm_fmadd_ps(deviations, z0, means)'
mutant full vector-radius-in-single $l \
  '_mm256_sqrt_pd(_mm256_mul_pd(_mm256_set1_pd(-2.0), _mm256_cvtps_pd(_mm_loadu_ps(logarithms + i))));' \
  '_mm256_cvtps_pd(_mm_sqrt_ps(_mm_mul_ps(_mm_set1_ps(-2.0F), _mm_loadu_ps(logarithms + i))));'

# --- the binary formats, src/table/binary_table.cpp
b=src/table/binary_table.cpp
mutant full npy-header-length-off-by-one $b 'const std::size_t length = header.size - magic.size() - lengthSize;' \
  'const std::size_t length = header.size - magic.size() - lengthSize + 1;'
mutant full npy-data-on-16-bytes $b 'alignment = 64;' 'alignment = 16;'
mutant full npy-negative-dimension $b 'std::max(runs, 0), std::max(samplesPerRun, 0)' 'runs, samplesPerRun'

# Every mutant's text must be found exactly once, checked before any build.
stale=0
for i in "${!names[@]}"; do
  content=$(<"$root/${files[i]}")
  without=${content//"${froms[i]}"/}
  count=$(((${#content} - ${#without}) / ${#froms[i]}))
  if ((count != 1)); then
    echo "mutant ${names[i]}: its text is found $count times in ${files[i]}, not once: update tools/mutants.sh" >&2
    stale=1
  fi
done
((stale == 0)) || exit 2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
copy=$scratch/source build=$scratch/build log=$scratch/log
mkdir "$copy"
(cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy")

# A build type of its own: -O2 without Release's link-time optimisation,
# which would relink every program at length for each mutant. (-O1 builds no
# faster, and the check of the vector math takes five times as long there.)
# The arithmetic is the same at any optimisation (-ffp-contract=off). The test
# against version 1.1.0 builds it from the repository, not from the copy.
# A test that hangs, as the full-disk test does when write errors are lost,
# counts as failed after the timeout (half a minute: the check of the vector math
# on every reachable input takes seconds). Every test runs but the Slurm
# cluster's: it checks the job file against the tool's own tables, which no
# mutant touches, and its daemons take longer to start than the rest of the
# suite takes to run.
build_and_test() {
  cmake --build "$build" -j "$(nproc)" >"$log" 2>&1 || return 2
  ctest --test-dir "$build" -j "$(nproc)" --timeout 30 --stop-on-failure --exclude-regex '^Slurm\.' >>"$log" 2>&1 ||
    return 1
}
start=$SECONDS
# Without the Python module, which would compile every mutant a second time.
cmake -S "$copy" -B "$build" -DCMAKE_BUILD_TYPE=Mutants -DCMAKE_CXX_FLAGS_MUTANTS="-O2 -DNDEBUG" \
  -DBUILD_TESTING=ON -DGAUSSIAN_NOISE_PYTHON_MODULE=OFF -DGAUSSIAN_NOISE_REPOSITORY="$root" >"$log" 2>&1 ||
  { cat "$log"; exit 2; }
if ! build_and_test; then
  cat "$log"
  echo "the suite fails without any mutant" >&2
  exit 2
fi
echo "unmutated build and suite: $((SECONDS - start)) s"

killed=0 survived=0 equivalents=0 failures=0
for i in "${!names[@]}"; do
  $quick && [[ ${inQuick[i]} == false ]] && continue
  ((${#chosen[@]} == 0)) || [[ " ${chosen[*]} " == *" ${names[i]} "* ]] || continue
  file=$copy/${files[i]}
  original=$(<"$file")
  printf '%s\n' "${original/"${froms[i]}"/"${tos[i]}"}" >"$file"
  began=$SECONDS
  status=0
  build_and_test || status=$?
  # Written anew, so the next build recompiles what depends on the file.
  printf '%s\n' "$original" >"$file"
  took="($((SECONDS - began)) s)"
  if ((status == 2)); then
    echo "BROKEN    ${names[i]}: does not compile $took"
    tail -20 "$log"
    failures=$((failures + 1))
  elif [[ -n ${reasons[i]} ]]; then
    if ((status == 0)); then
      echo "EQUIVALENT ${names[i]}: ${reasons[i]} $took"
      equivalents=$((equivalents + 1))
    else
      echo "KILLED, BUT LISTED AS EQUIVALENT ${names[i]} $took"
      failures=$((failures + 1))
    fi
  elif ((status == 0)); then
    echo "SURVIVED  ${names[i]} $took"
    survived=$((survived + 1))
  else
    # ctest lists the failed tests as "  12 - Suite.Name (Failed)".
    failed=$(sed -n '/tests FAILED:/,$s/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p' "$log" | paste -sd ' ')
    echo "KILLED    ${names[i]} $took, failing first: $failed"
    killed=$((killed + 1))
  fi
done

echo "mutants: $killed killed, $survived survived, $equivalents equivalent, $failures broken or misfiled;" \
  "$((SECONDS - start)) s in all"
((survived == 0 && failures == 0))
