#!/usr/bin/env bash
# Runs the README's GNU parallel example, as the README shows it, and checks
# that every shard is exactly the single-process table of its seed and that
# no two shards are alike.
#
#   parallel_shards.sh TOOL README [LAUNCHER...]
#
# LAUNCHER, when given, starts the tool (an emulator for a cross build).
set -euo pipefail
trap 'echo "parallel_shards.sh: failed at line $LINENO" >&2' ERR
tool=$1
readme=$2
shift 2
launcher=("$@")

if ! command -v parallel >/dev/null; then
  echo "GNU parallel is missing: apt-get install parallel" >&2
  exit 1
fi
# The example is the first line that starts with "parallel " after the marker.
# One awk, not a pipe: a reader that stops early would fail the pipe.
example=$(awk '/<!-- parallel example -->/ { after = 1 } after && /^parallel / { print; exit }' "$readme")
[[ -n $example ]] || { echo "no GNU parallel example in $readme" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
printf '#!/bin/sh\nexec %s "$@"\n' "${launcher[*]} $tool" >"$work/bin/gaussian_noise"
chmod +x "$work/bin/gaussian_noise"
cd "$work"
echo "running: $example"
PATH=$work/bin:$PATH bash -c "$example" </dev/null

shards=(noise_*.csv)
((${#shards[@]} >= 4)) || { echo "expected at least 4 shards, found ${#shards[@]}" >&2; exit 1; }
arguments=$(sed 's/.* --output=[^ ]* //; s/ :::.*//' <<<"$example")  # the four values
for shard in "${shards[@]}"; do
  seed=${shard//[^0-9]/}
  # shellcheck disable=SC2086  # the four values are meant to be split
  "$work/bin/gaussian_noise" --quiet --seed="$seed" --output=- $arguments | cmp - "$shard"
done
distinct=$(md5sum "${shards[@]}" | cut -d ' ' -f 1 | sort -u | wc -l)
((distinct == ${#shards[@]})) || { echo "only $distinct distinct tables among ${#shards[@]} shards" >&2; exit 1; }
echo "${#shards[@]} shards, each the table of its seed, all distinct"
