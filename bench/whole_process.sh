#!/usr/bin/env bash
# Whole-process measurements of the tool against v1.1.0 and v1.2.0 (built
# here from their commits) and two programs built from the same sources:
# draw_only (the same draws, no text, no file) and stream_writer (the same
# table written through an std::ofstream).
#
#   bench/whole_process.sh [REPETITIONS]    (default 5)
#
# Builds the `bench` preset, v1.1.0 and v1.2.0, then runs every program
# REPETITIONS times, interleaved, in a temporary directory, and prints a
# markdown table of the number text variant in use, the median wall times,
# their ratios, the tool's times at 1, 2, 4 and 8 threads, its peak memory
# for 10^6, 10^7 and 10^8 cells at 1 and 2 threads, and whether the tool's
# file equals the stream writer's, v1.1.0's and v1.2.0's for the same seed.
# The 10^8-cell runs write about 900 MB; their file is deleted after each
# run. A second table times the binary formats against text and against
# numpy writing the same array. Exits 1 if the files differ.
set -euo pipefail
export LC_ALL=C  # a decimal point in EPOCHREALTIME and in awk
cd "$(dirname "$0")/.."
repetitions=${1:-5}

packages=(cmake g++ libbenchmark-dev time)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
  apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >&2
fi

# Build output goes to standard error, so standard output holds the table only.
cmake --preset bench >&2
cmake --build --preset bench >&2

# v1.1.0, the last release drawn from rand() with its lock, and v1.2.0, the
# release before this one, each from its commit.
baseline=$(mktemp -d "${TMPDIR:-/tmp}/whole_process_baseline.XXXXXX")
# build_release COMMIT: builds the tool at COMMIT under $baseline/COMMIT.
build_release() {
  mkdir "$baseline/$1"
  git archive "$1" | tar -x -C "$baseline/$1"
  cmake -S "$baseline/$1" -B "$baseline/$1/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >&2
  cmake --build "$baseline/$1/build" -j 2 --target gaussian_noise >&2
}
build_release a27246b
build_release e1cd805
old_tool=$baseline/a27246b/build/gaussian_noise
previous_tool=$baseline/e1cd805/build/gaussian_noise

build=$PWD/build/bench
tool=$build/gaussian_noise
draw_only=$build/bench/draw_only
stream_writer=$build/bench/stream_writer
fixed_time=$build/bench/libfixed_time.so
variant=$("$build/bench/cells_variant")

work=$(mktemp -d "${TMPDIR:-/tmp}/whole_process.XXXXXX")
trap 'rm -rf "$work" "$baseline"' EXIT
cd "$work"

# The largest table is about 900 MB: skip it when the disk cannot hold it.
df -h "$work" >&2
free_kib=$(df --output=avail -k "$work" | tail -n 1)
large_cells=$((free_kib > 2 * 1024 * 1024))

# run PROGRAM ARGUMENTS...: sets `seconds` to its wall time, `kib` to its peak
# resident memory, `system` and `user` to its processor time in the kernel and
# in user space, then deletes the table it wrote. Standard output goes to the
# file $stdout_file when that is set, else to /dev/null; standard error to
# the file stderr.log.
run() {
  local start=$EPOCHREALTIME
  /usr/bin/time -f '%M %S %U' -o usage "$@" >"${stdout_file:-/dev/null}" 2>stderr.log
  local end=$EPOCHREALTIME
  seconds=$(awk -v start="$start" -v end="$end" 'BEGIN { printf "%.4f", end - start }')
  read -r kib system user <usage
  rm -f generated_noise.csv table.csv
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
maximum() { printf '%s\n' "$@" | sort -g | tail -n 1; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
# met CONDITION: "yes" if the awk condition holds.
met() { awk "BEGIN { print (($1) ? \"yes\" : \"no\") }"; }

load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
tool_7=() draw_7=() sequence_7=() stream_7=() tool_8=() kib_6=() kib_7=() kib_8=() system_7=() system_8=() user_7=() user_8=()
piped_7=() progress_7=() lossless_7=()
old_7=() old_lossless_7=() previous_7=() previous_lossless_7=() lossless_t2_7=() t2_7=() t4_7=() t8_7=() t2_kib_6=() t2_kib_7=() t2_kib_8=()
for ((i = 1; i <= repetitions; i++)); do
  echo "repetition $i of $repetitions" >&2
  run "$tool" 0 1 100 10000
  kib_6+=("$kib")
  run "$tool" --threads=2 0 1 100 10000
  t2_kib_6+=("$kib")
  run "$old_tool" 0 1 1000 10000
  old_7+=("$seconds")
  run "$previous_tool" 0 1 1000 10000
  previous_7+=("$seconds")
  run "$tool" 0 1 1000 10000
  tool_7+=("$seconds") kib_7+=("$kib") system_7+=("$system") user_7+=("$user")
  run "$tool" --threads=2 0 1 1000 10000
  t2_7+=("$seconds") t2_kib_7+=("$kib")
  run "$tool" --threads=4 0 1 1000 10000
  t4_7+=("$seconds")
  run "$tool" --threads=8 0 1 1000 10000
  t8_7+=("$seconds")
  run "$old_tool" --lossless 0 1 1000 10000
  old_lossless_7+=("$seconds")
  run "$previous_tool" --lossless 0 1 1000 10000
  previous_lossless_7+=("$seconds")
  run "$tool" --lossless --threads=2 0 1 1000 10000
  lossless_t2_7+=("$seconds")
  run "$draw_only" 0 1 1000 10000
  draw_7+=("$seconds")
  run "$draw_only" --sequence 0 1 1000 10000
  sequence_7+=("$seconds")
  run "$stream_writer" 0 1 1000 10000
  stream_7+=("$seconds")
  stdout_file=table.csv run "$tool" --output=- 0 1 1000 10000
  piped_7+=("$seconds")
  run "$tool" --progress 0 1 1000 10000
  progress_7+=("$seconds")
  run "$tool" --lossless 0 1 1000 10000
  lossless_7+=("$seconds")
  if ((large_cells)); then
    run "$tool" 0 1 10000 10000
    tool_8+=("$seconds") kib_8+=("$kib") system_8+=("$system") user_8+=("$user")
    run "$tool" --threads=2 0 1 10000 10000
    t2_kib_8+=("$kib")
  fi
done

# The same second for both programs, through the time() shim: the same seed.
same_files=yes
for arguments in "0 1 1000 10000" "0 1e-12 100 1000" "-5e6 1e12 100 1000" "1 0 3 0"; do
  mkdir -p tool_table stream_table
  # shellcheck disable=SC2086  # the arguments are meant to be split
  (cd tool_table && LD_PRELOAD=$fixed_time "$tool" $arguments >/dev/null)
  # shellcheck disable=SC2086
  (cd stream_table && LD_PRELOAD=$fixed_time "$stream_writer" $arguments)
  if ! cmp tool_table/generated_noise.csv stream_table/generated_noise.csv >&2; then
    echo "the tables for '$arguments' differ" >&2
    same_files=no
  fi
  # The tool in four threads, v1.1.0 and v1.2.0, for the same second.
  mkdir -p threaded_table old_table previous_table
  # shellcheck disable=SC2086
  (cd threaded_table && LD_PRELOAD=$fixed_time "$tool" --threads=4 $arguments >/dev/null)
  # shellcheck disable=SC2086
  (cd old_table && LD_PRELOAD=$fixed_time "$old_tool" $arguments >/dev/null)
  # shellcheck disable=SC2086
  (cd previous_table && LD_PRELOAD=$fixed_time "$previous_tool" $arguments >/dev/null)
  for other in threaded_table old_table previous_table; do
    if ! cmp tool_table/generated_noise.csv "$other/generated_noise.csv" >&2; then
      echo "the tables for '$arguments' differ in $other" >&2
      same_files=no
    fi
  done
  rm -rf tool_table stream_table threaded_table old_table previous_table
done

t_tool=$(median "${tool_7[@]}")
t_draw=$(median "${draw_7[@]}")
t_sequence=$(median "${sequence_7[@]}")
t_stream=$(median "${stream_7[@]}")
tool_over_draw=$(calc %.2f "$t_tool / $t_draw")
piped_over_tool=$(calc %.3f "$(median "${piped_7[@]}") / $t_tool")
progress_over_tool=$(calc %.3f "$(median "${progress_7[@]}") / $t_tool")
lossless_over_tool=$(calc %.2f "$(median "${lossless_7[@]}") / $t_tool")
stream_over_tool=$(calc %.1f "$t_stream / $t_tool")
t_old=$(median "${old_7[@]}")
tool_over_old=$(calc %.3f "$t_tool / $t_old")
t2_over_old=$(calc %.3f "$(median "${t2_7[@]}") / $t_old")
lossless_t2_over_old=$(calc %.3f "$(median "${lossless_t2_7[@]}") / $(median "${old_lossless_7[@]}")")
t_previous=$(median "${previous_7[@]}")
tool_over_previous=$(calc %.3f "$t_tool / $t_previous")
lossless_over_previous=$(calc %.3f "$(median "${lossless_7[@]}") / $(median "${previous_lossless_7[@]}")")
threads_times="$(calc %.3f "$t_tool") / $(calc %.3f "$(median "${t2_7[@]}")") / $(calc %.3f "$(median "${t4_7[@]}")") / $(calc %.3f "$(median "${t8_7[@]}")") s"
m6=$(maximum "${kib_6[@]}")
m7=$(maximum "${kib_7[@]}")
n6=$(maximum "${t2_kib_6[@]}")
n7=$(maximum "${t2_kib_7[@]}")
if ((large_cells)); then
  t_large=$(median "${tool_8[@]}")
  m8=$(maximum "${kib_8[@]}")
  large_over_small=$(calc %.2f "$t_large / $t_tool")
  system_time="$(median "${system_7[@]}") / $(median "${system_8[@]}") s"
  user_over="$(calc %.2f "$(median "${user_8[@]}") / $(median "${user_7[@]}")")"
  large_time="$(calc %.3f "$t_large") s ($(calc %.1f "$t_large * 1e9 / 1e8") ns/cell)"
  memory="$(calc %.2f "$m6 / 1024") / $(calc %.2f "$m7 / 1024") / $(calc %.2f "$m8 / 1024") MiB"
  memory_met=$(met "$m6 <= 8192 && $m7 <= 8192 && $m8 <= 8192 && $m8 - $m6 <= 1024 && $m6 - $m8 <= 1024")
  n8=$(maximum "${t2_kib_8[@]}")
  memory_2="$(calc %.2f "$n6 / 1024") / $(calc %.2f "$n7 / 1024") / $(calc %.2f "$n8 / 1024") MiB"
  memory_2_met=$(met "$n6 <= 11264 && $n7 <= 11264 && $n8 <= 11264 && $n8 - $n6 <= 1024 && $n6 - $n8 <= 1024")
  linear_met=$(met "$large_over_small >= 9 && $large_over_small <= 11")
else
  large_time="skipped: under 2 GiB free in $(dirname "$work")"
  large_over_small=skipped
  system_time="$(median "${system_7[@]}") s / skipped"
  user_over=skipped
  memory="$(calc %.2f "$m6 / 1024") / $(calc %.2f "$m7 / 1024") MiB / skipped"
  memory_met=$(met "$m6 <= 8192 && $m7 <= 8192")
  memory_2="$(calc %.2f "$n6 / 1024") / $(calc %.2f "$n7 / 1024") MiB / skipped"
  memory_2_met=$(met "$n6 <= 11264 && $n7 <= 11264")
  linear_met=-
fi

cat <<EOF
| measure | result | target | met |
|---|---|---|---|
| number text variant in use | $variant | | |
| v1.1.0, 10^7 cells | $(calc %.3f "$t_old") s ($(calc %.1f "$t_old * 1e9 / 1e7") ns/cell) | | |
| tool, 10^7 cells | $(calc %.3f "$t_tool") s ($(calc %.1f "$t_tool * 1e9 / 1e7") ns/cell) | | |
| tool / v1.1.0 | $tool_over_old | ≤ 0.65 | $(met "$tool_over_old <= 0.65") |
| tool --threads=2 / v1.1.0 | $t2_over_old | ≤ 0.40 (stretch 0.33) | $(met "$t2_over_old <= 0.40") |
| tool --lossless --threads=2 / v1.1.0 --lossless | $lossless_t2_over_old | ≤ 0.55 | $(met "$lossless_t2_over_old <= 0.55") |
| v1.2.0, 10^7 cells | $(calc %.3f "$t_previous") s ($(calc %.1f "$t_previous * 1e9 / 1e7") ns/cell) | | |
| tool / v1.2.0 | $tool_over_previous | | |
| tool --lossless / v1.2.0 --lossless | $lossless_over_previous | | |
| tool at 1 / 2 / 4 / 8 threads, 10^7 cells | $threads_times | | |
| draw_only, 10^7 cells, draws from rand() | $(calc %.3f "$t_draw") s ($(calc %.1f "$t_draw * 1e9 / 1e7") ns/cell) | | |
| draw_only --sequence, the same draws without the lock | $(calc %.3f "$t_sequence") s ($(calc %.1f "$t_sequence * 1e9 / 1e7") ns/cell) | | |
| tool / draw_only --sequence | $(calc %.2f "$t_tool / $t_sequence") | | |
| stream_writer, 10^7 cells | $(calc %.3f "$t_stream") s ($(calc %.1f "$t_stream * 1e9 / 1e7") ns/cell) | | |
| tool / draw_only | $tool_over_draw | ≤ 1.25 | $(met "$tool_over_draw <= 1.25") |
| stream_writer / tool | $stream_over_tool | ≥ 6 | $(met "$stream_over_tool >= 6") |
| tool --output=- to a file / tool | $piped_over_tool | ≤ 1.05 | $(met "$piped_over_tool <= 1.05") |
| tool --progress / tool | $progress_over_tool | ≤ 1.02 | $(met "$progress_over_tool <= 1.02") |
| tool --lossless / tool | $lossless_over_tool | ≤ 2 | $(met "$lossless_over_tool <= 2") |
| tool, 10^8 cells | $large_time | | |
| tool time, 10^8 / 10^7 cells | $large_over_small | ≈ 10 (9 to 11) | $linear_met |
| tool time in user space, 10^8 / 10^7 cells | $user_over | | |
| tool time in the kernel, 10^7 / 10^8 cells | $system_time | | |
| tool peak RSS, 10^6 / 10^7 / 10^8 cells | $memory | ≤ 8 MiB, within 1 MiB | $memory_met |
| tool --threads=2 peak RSS, 10^6 / 10^7 / 10^8 cells | $memory_2 | ≤ 11 MiB, within 1 MiB | $memory_2_met |
| tool file (1 and 4 threads) = stream_writer file = v1.1.0 and v1.2.0 files, same seed | $same_files | yes | $same_files |

Wall times are medians of $repetitions interleaved runs; peak RSS is the largest
seen. Machine: $(lscpu | awk -F ': *' '/^Model name:/ && !seen++ { print $2 }'), $(nproc) CPUs,
load average before the runs $load_before; $(date -u +%F).
EOF

# --- Binary formats (--format=npy, --format=f32) ------------------------------
# 10^7 cells to a file as text, as .npy and as bare singles, interleaved with
# numpy writing the same number of float32 normals with np.save, in one loop of
# its own. OPENBLAS_CORETYPE and OPENBLAS_L2_SIZE, set on some processors to
# keep old OpenBLAS builds safe, slow a current numpy: they are unset for the
# numpy command alone (standard_normal and save call no BLAS kernel anyway).
binary_formats() {
  local python=/usr/bin/python3 csv=() npy=() f32=() csv2=() npy2=() numpy=() same_bytes=yes numpy_note=""
  local numpy_script='import numpy as np
np.save("numpy.npy", np.random.default_rng().standard_normal((1000, 10000), dtype=np.float32))'
  if ! "$python" -c 'import numpy' 2>/dev/null; then
    numpy_note="skipped: no numpy for $python (apt-get install python3-numpy)"
  fi
  for ((i = 1; i <= repetitions; i++)); do
    echo "binary formats, repetition $i of $repetitions" >&2
    run "$tool" 0 1 1000 10000
    csv+=("$seconds")
    run "$tool" --format=npy 0 1 1000 10000
    npy+=("$seconds")
    rm -f generated_noise.npy
    run "$tool" --format=f32 0 1 1000 10000
    f32+=("$seconds")
    rm -f generated_noise.f32
    run "$tool" --threads=2 0 1 1000 10000
    csv2+=("$seconds")
    run "$tool" --threads=2 --format=npy 0 1 1000 10000
    npy2+=("$seconds")
    rm -f generated_noise.npy
    if [[ -z $numpy_note ]]; then
      run env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE "$python" -c "$numpy_script"
      numpy+=("$seconds")
      rm -f numpy.npy
    fi
  done
  # The .npy file is its 128-byte header and then the f32 file's bytes.
  "$tool" -q -s 5 --format=npy -o seeded.npy 0 1 1000 10000
  "$tool" -q -s 5 --format=f32 -o seeded.f32 0 1 1000 10000
  cmp <(tail -c +129 seeded.npy) seeded.f32 >&2 || same_bytes=no
  rm -f seeded.npy seeded.f32

  local t_csv t_npy t_f32 npy_over_csv t_csv2 t_npy2 npy2_over_csv2 t_numpy
  t_csv=$(median "${csv[@]}") t_npy=$(median "${npy[@]}") t_f32=$(median "${f32[@]}")
  npy_over_csv=$(calc %.2f "$t_npy / $t_csv")
  t_csv2=$(median "${csv2[@]}") t_npy2=$(median "${npy2[@]}")
  npy2_over_csv2=$(calc %.2f "$t_npy2 / $t_csv2")
  if [[ -z $numpy_note ]]; then
    t_numpy=$(median "${numpy[@]}")
    numpy_note="$(calc %.3f "$t_numpy") s (numpy $("$python" -c 'import numpy; print(numpy.__version__)'));"
    numpy_note+=" tool --format=npy / numpy $(calc %.2f "$t_npy / $t_numpy"),"
    numpy_note+=" with --threads=2 $(calc %.2f "$t_npy2 / $t_numpy")"
  fi
  cat <<EOF

| binary formats, 10^7 cells to a file | result | target | met |
|---|---|---|---|
| tool (csv, the default) | $(calc %.3f "$t_csv") s | | |
| tool --format=npy | $(calc %.3f "$t_npy") s | | |
| tool --format=f32 | $(calc %.3f "$t_f32") s | | |
| tool --format=npy / tool | $npy_over_csv | ≤ 0.85 | $(met "$npy_over_csv <= 0.85") |
| tool --threads=2 | $(calc %.3f "$t_csv2") s | | |
| tool --threads=2 --format=npy | $(calc %.3f "$t_npy2") s | | |
| tool --threads=2 --format=npy / tool --threads=2 | $npy2_over_csv2 | ≤ 0.85 | $(met "$npy2_over_csv2 <= 0.85") |
| numpy standard_normal(float32) + np.save | $numpy_note | | |
| npy samples = f32 file, same seed | $same_bytes | yes | $same_bytes |

Medians of $repetitions interleaved runs of each, in the same run as the table above.
EOF
  [[ $same_bytes == yes ]]
}
binary_ok=yes
binary_formats || binary_ok=no

[[ $same_files == yes && $binary_ok == yes ]]
