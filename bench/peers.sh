#!/usr/bin/env bash
# The tool against the usual ways of writing a table of normal noise as CSV
# text: numpy (standard_normal, then savetxt with %g), pandas (to_csv) and
# R's data.table (rnorm, then fwrite). Each writes 10^7 cells, 1000 rows of
# 10000, to a file in a temporary directory; each program runs REPETITIONS
# times, interleaved, and the script prints a markdown table of the median
# wall time of each whole process (the interpreter's start included) and its
# ratio to the tool's.
#
#   bench/peers.sh [REPETITIONS]    (default 3)
#
# Needs python3-numpy, python3-pandas, r-base-core and r-cran-data.table,
# and builds the `release` preset.
set -euo pipefail
export LC_ALL=C  # a decimal point in EPOCHREALTIME and in awk
cd "$(dirname "$0")/.."
repetitions=${1:-3}

cmake --preset release >&2
cmake --build --preset release >&2
tool=$PWD/build/release/gaussian_noise
python=/usr/bin/python3  # where Debian's numpy and pandas are
rscript=/usr/bin/Rscript

work=$(mktemp -d "${TMPDIR:-/tmp}/peers.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# Each peer draws single-precision normals where it can, and writes six
# significant digits as the tool does.
numpy='import numpy as np
samples = np.random.default_rng(1).standard_normal((1000, 10000), dtype=np.float32)
np.savetxt("table.csv", samples, fmt="%g", delimiter=",")'
pandas='import numpy as np, pandas as pd
samples = np.random.default_rng(1).standard_normal((1000, 10000), dtype=np.float32)
pd.DataFrame(samples).to_csv("table.csv", header=False, index=False, float_format="%g")'
fwrite='library(data.table)
set.seed(1)
fwrite(as.data.table(matrix(signif(rnorm(1e7), 6), nrow = 1000)), "table.csv", col.names = FALSE)'

names=("gaussian_noise 0 1 1000 10000" "numpy: standard_normal, savetxt" "pandas: DataFrame.to_csv"
  "R data.table: rnorm, fwrite")
commands=("$tool --quiet --output=table.csv 0 1 1000 10000" "$python -c \"\$numpy\"" "$python -c \"\$pandas\""
  "$rscript -e \"\$fwrite\"")

# times[k] holds the wall times of program k, one a repetition.
times=()
for ((i = 1; i <= repetitions; i++)); do
  echo "repetition $i of $repetitions" >&2
  for k in "${!commands[@]}"; do
    start=$EPOCHREALTIME
    eval "${commands[k]}" >/dev/null
    end=$EPOCHREALTIME
    [[ -s table.csv ]] || { echo "${names[k]} wrote no table" >&2; exit 1; }
    rm -f table.csv
    times[k]="${times[k]-} $(awk -v start="$start" -v end="$end" 'BEGIN { printf "%.4f", end - start }')"
  done
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
# shellcheck disable=SC2086  # the times are meant to be split
tool_time=$(median ${times[0]})
echo "| 10^7 cells of N(0,1) as CSV text, medians of $repetitions | time | / tool |"
echo "|---|---|---|"
for k in "${!commands[@]}"; do
  # shellcheck disable=SC2086
  t=$(median ${times[k]})
  awk -v name="${names[k]}" -v t="$t" -v tool="$tool_time" 'BEGIN { printf "| %s | %.2f s | %.1f |\n", name, t, t / tool }'
done
echo
echo "load average before and after: $(cut -d ' ' -f 1-3 /proc/loadavg); $(nproc) processors"
