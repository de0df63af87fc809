#!/usr/bin/env bash
# Remakes docs/histogram.svg: builds the tool and histogram_svg, has the tool
# write a table of 1000 rows of 1000 samples with mean 0 and variance 1 in a
# temporary directory, and draws the histogram of that table.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default >/dev/null
cmake --build --preset default --target gaussian_noise histogram_svg

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tool="$PWD/build/default/gaussian_noise"
(cd "$work" && "$tool" 0 1 1000 1000 >/dev/null)
build/default/histogram_svg "$work/generated_noise.csv" 0 1 >"$work/histogram.svg"
mkdir -p docs
mv "$work/histogram.svg" docs/histogram.svg
echo "wrote docs/histogram.svg"
