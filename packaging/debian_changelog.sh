#!/usr/bin/env bash
# Writes the Debian changelog of a package to standard output from
# CHANGELOG.md: each "## VERSION - YYYY-MM-DD HH:MM UTC" heading opens an entry, each
# "- " line starts a change and each indented line continues one. Fails unless
# the newest entry is VERSION, so the package never ships a stale changelog.
# An "## Unreleased" heading and its changes, not yet in any version, are left out.
# Usage: debian_changelog.sh CHANGELOG.md PACKAGE VERSION MAINTAINER
set -euo pipefail
changelog=$1 package=$2 version=$3 maintainer=$4

newest=$(sed -n '/^## Unreleased/b; /^## /{s/^## \([^ ]*\) - .*/\1/p;q}' "$changelog")
if [[ $newest != "$version" ]]; then
  echo "debian_changelog.sh: the newest entry of $changelog is '$newest', not $version" >&2
  exit 1
fi

date=""
trailer() {
  printf '\n -- %s  %s\n' "$maintainer" "$(date -u -R -d "$date")"
}
while IFS= read -r line || [[ -n $line ]]; do
  if [[ $line == "## Unreleased"* ]]; then
    continue
  elif [[ $line == "## "* ]]; then
    if [[ -n $date ]]; then
      trailer
      echo
    fi
    entry=${line#"## "}
    printf '%s (%s) unstable; urgency=medium\n\n' "$package" "${entry%% - *}"
    date=${entry#* - }
  elif [[ -n $date && $line == "- "* ]]; then
    printf '  * %s\n' "${line#"- "}"
  elif [[ -n $date && $line == "  "* ]]; then
    printf '    %s\n' "${line#"  "}"
  fi
done <"$changelog"
if [[ -n $date ]]; then trailer; fi
