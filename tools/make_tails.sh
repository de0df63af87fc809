#!/usr/bin/env bash
# Remakes docs/tails.svg: builds the tool and tails_svg, and draws the tails
# of a table of 10000 rows of 10000 samples (10^8) with mean 0 and variance 1
# on a logarithmic scale. The table goes down a pipe, never to disk (it
# would be about 900 MB). The seed comes from the clock: each remake shows
# a different table.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default >/dev/null
cmake --build --preset default --target gaussian_noise tails_svg

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/default/gaussian_noise --quiet --output=- 0 1 10000 10000 | build/default/tails_svg - 0 1 >"$work/tails.svg"
mkdir -p docs
mv "$work/tails.svg" docs/tails.svg
echo "wrote docs/tails.svg"
