#!/usr/bin/env bash
# What a part costs: the scan of the pairs thrown away before it against the
# writing of cells, and the whole work of a table written in N parts against
# one plain run.
#
#   bench/parts.sh [REPETITIONS]    (default 3)
#
# Builds the `bench` preset, then, REPETITIONS times and interleaved, one
# thread each:
#   - the scan alone: --list-thrown-pairs over a table of 2*10^9 cells
#     (2*10^9 pairs), in ns a pair;
#   - the text alone: a default CSV table of 10^7 cells to a file, in ns a cell;
#   - a table of 10^8 cells (10^5 rows of 1000) as N = 1, 10 and 100 parts
#     run one after another, each scanning for itself, and again with the
#     list of thrown pairs written once and read by every part (the list's
#     own time included); every part's file is deleted once written.
# Prints a markdown table of the medians and their ratios, naming the processor.
set -euo pipefail
export LC_ALL=C  # a decimal point in EPOCHREALTIME and in awk
cd "$(dirname "$0")/.."
repetitions=${1:-3}

cmake --preset bench >&2
cmake --build --preset bench --target gaussian_noise >&2
tool=$PWD/build/bench/gaussian_noise
work=$(mktemp -d "${TMPDIR:-/tmp}/parts.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# Seconds the command takes, wall clock.
seconds() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f\n", b - a }'
}
table=(0 1 100000 1000)
parts() {  # N [LIST]: the N parts one after another
  local count=$1 list=${2-} k
  for ((k = 1; k <= count; k++)); do
    "$tool" -q -s 7 --part="$k/$count" ${list:+--thrown-pairs="$list"} -o part -- "${table[@]}"
    rm part
  done
}
listed_parts() {  # N: the list once, then the N parts reading it
  "$tool" -s 7 --list-thrown-pairs -o list -- "${table[@]}"
  parts "$1" list
}
declare -A times
names=(scan text parts_1 parts_10 parts_100 listed_10 listed_100)
for ((r = 0; r < repetitions; r++)); do
  times[scan]+=" $(seconds "$tool" -s 7 --list-thrown-pairs -- 0 1 2000000 1000)"
  times[text]+=" $(seconds "$tool" -q -s 7 -o text.csv 0 1 10000 1000)"
  rm text.csv
  for n in 1 10 100; do times[parts_$n]+=" $(seconds parts "$n")"; done
  for n in 10 100; do times[listed_$n]+=" $(seconds listed_parts "$n")"; done
done
median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
declare -A m
for name in "${names[@]}"; do m[$name]=$(median <<<"${times[$name]}"); done

cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
avx512=$(grep -q avx512f /proc/cpuinfo && echo "with AVX-512" || echo "no AVX-512")
echo "Processor: $cpu, $(nproc) CPUs, $avx512; medians of $repetitions interleaved runs, one thread each"
echo
awk -v scan="${m[scan]}" -v text="${m[text]}" 'BEGIN {
  pair = scan / 2e9 * 1e9; cell = text / 1e7 * 1e9
  printf "| measure | median |\n|---|---|\n"
  printf "| scan, ns a pair (2*10^9 pairs) | %.3f |\n", pair
  printf "| default CSV, ns a cell (10^7 cells to a file) | %.2f |\n", cell
  printf "| pairs scanned in the time of one cell | %.0f |\n", cell / pair
}'
echo
echo "| 10^8 cells | seconds | / one run |"
echo "|---|---|---|"
for name in parts_1 parts_10 parts_100 listed_10 listed_100; do
  awk -v name="$name" -v t="${m[$name]}" -v one="${m[parts_1]}" 'BEGIN {
    split(name, p, "_"); label = (p[1] == "parts" ? p[2] " parts, each scanning" : p[2] " parts, list read (list included)")
    printf "| %s | %.2f | %.2f |\n", label, t, t / one }'
done
