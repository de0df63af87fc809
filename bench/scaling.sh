#!/usr/bin/env bash
# How the tool's speed grows with threads, against what one file can take.
#
#   bench/scaling.sh [REPETITIONS] [CELLS]    (defaults 5 and 10^8)
#
# Builds the `bench` preset, then, REPETITIONS times and interleaved, writes
# the table `0 1 ROWS 1000` (seed 7) into a folder in memory (/dev/shm, or
# SCALING_DIR) as CSV and as npy:
#   - with -T N for N = 1, 2, 4, ... and the processors, and -T 0;
#   - as as many parts as processors, in parallel processes, each to a file
#     of its own (the same bytes, in pieces);
#   - and copies the one-thread CSV file with dd in 1 MiB blocks: a plain
#     write of the same bytes to one file.
# The runs of a round come in a new random order each round. Every file is
# checked against the one-thread table (the parts concatenated). Prints a markdown table of the medians,
# naming the processor, and then runs bench/write_ways (the ways one file
# can take bytes) once with 5 repetitions.
set -euo pipefail
export LC_ALL=C  # a decimal point in EPOCHREALTIME and in awk
cd "$(dirname "$0")/.."
repetitions=${1:-5}
cells=${2:-100000000}
rows=$((cells / 1000))

cmake --preset bench >&2
cmake --build --preset bench --target gaussian_noise write_ways >&2
tool=$PWD/build/bench/gaussian_noise
ways=$PWD/build/bench/bench/write_ways
work=$(mktemp -d "${SCALING_DIR:-/dev/shm}/scaling.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
processors=$(nproc)
counts=()
for ((n = 1; n < processors; n *= 2)); do counts+=("$n"); done
counts+=("$processors" 0)

seconds() {  # the wall-clock seconds the command takes
  local start=$EPOCHREALTIME
  "$@" >/dev/null
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f\n", b - a }'
}
table() {  # FORMAT THREADS FILE
  "$tool" -q -s 7 --format="$1" -T "$2" -o "$3" -- 0 1 "$rows" 1000
}
parts() {  # FORMAT: the processors' parts at once, one thread each
  local k pids=()
  for ((k = 1; k <= processors; k++)); do
    "$tool" -q -s 7 --format="$1" -T 1 --part="$k/$processors" -o "part.$k" -- 0 1 "$rows" 1000 &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
}
same() {  # FILE REFERENCE: stops the bench where the bytes differ
  cmp -s "$1" "$2" || { echo "scaling.sh: $1 differs from $2" >&2; exit 1; }
}

declare -A times
for format in csv npy; do
  table "$format" 1 "reference.$format"
done
run() {  # NAME: one timed run, FORMAT.THREADS, FORMAT.parts or copy, its bytes checked
  local format=${1%.*} what=${1#*.} k
  case $1 in
    copy)
      times[copy]+=" $(seconds dd if=reference.csv of=copy bs=1M status=none)"
      same copy reference.csv
      rm copy
      ;;
    *.parts)
      times[$1]+=" $(seconds parts "$format")"
      for ((k = 1; k <= processors; k++)); do cat "part.$k"; done | same - "reference.$format"
      rm part.*
      ;;
    *)
      times[$1]+=" $(seconds table "$format" "$what" out)"
      same out "reference.$format"
      rm out
      ;;
  esac
}
names=(copy)
for format in csv npy; do
  for n in "${counts[@]}" parts; do names+=("$format.$n"); done
done
# A new order each round: on a virtual machine, memory just freed and taken
# again may cost more than memory kept, and no run should always come first.
for ((r = 0; r < repetitions; r++)); do
  for name in $(printf '%s\n' "${names[@]}" | shuf); do run "$name"; done
done
# Every time on standard error, to see the spread the medians hide.
for name in "${!times[@]}"; do echo "$name:${times[$name]}" >&2; done
median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
avx512=$(grep -q avx512f /proc/cpuinfo && echo "with AVX-512" || echo "no AVX-512")
libc=$(getconf GNU_LIBC_VERSION)
echo "Processor: $cpu, $processors CPUs, $avx512, $libc; $cells cells of 0 1 (1000 a row) to $(dirname "$work");"
echo "medians of $repetitions interleaved runs; every table checked byte for byte against -T 1"
echo
copy=$(median <<<"${times[copy]}")
echo "| run | CSV s | / -T 1 | npy s | / -T 1 |"
echo "|---|---|---|---|---|"
for n in "${counts[@]}" parts; do
  label="-T $n"
  [[ $n == parts ]] && label="$processors parts, one process each"
  awk -v label="$label" -v c="$(median <<<"${times[csv.$n]}")" -v c1="$(median <<<"${times[csv.1]}")" \
    -v b="$(median <<<"${times[npy.$n]}")" -v b1="$(median <<<"${times[npy.1]}")" \
    'BEGIN { printf "| %s | %.3f | %.2f | %.3f | %.2f |\n", label, c, c / c1, b, b / b1 }'
done
awk -v c="$copy" -v c1="$(median <<<"${times[csv.1]}")" -v size="$(stat -c %s reference.csv)" \
  'BEGIN { printf "| dd of the CSV file (%.2f GB), 1 MiB blocks | %.3f | %.2f | | |\n", size / 1e9, c, c / c1 }'
echo
WRITE_WAYS_DIR=$work "$ways" --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true 2>&1 | grep -E '_median|Run on'
