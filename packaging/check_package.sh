#!/usr/bin/env bash
# Checks the Debian package that `cmake --workflow --preset package` leaves in
# build/package/: its name and contents, that the unpacked tool runs and
# writes a table, that its man page renders without warnings, that its
# version, changelog and man page agree, and that lintian finds nothing.
# Needs dpkg-dev, man-db and lintian.
# Usage: packaging/check_package.sh [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "check_package.sh: $*" >&2
  exit 1
}

version=$(sed -n 's/^project(gaussian_noise VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
deb=${1:-build/package/gaussian-noise_${version}_$(dpkg --print-architecture).deb}
[[ -f $deb ]] || fail "no package $deb: run 'cmake --workflow --preset package' first"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "the package's version is not $version"
[[ $(dpkg-deb -f "$deb" Depends) == *libc6* ]] || fail "the package does not depend on libc6"

expected="./usr/bin/gaussian_noise
./usr/share/bash-completion/completions/gaussian_noise
./usr/share/doc/gaussian-noise/changelog.gz
./usr/share/doc/gaussian-noise/copyright
./usr/share/man/man1/gaussian_noise.1.gz"
files=$(dpkg-deb -c "$deb" | awk '!/^d/ {print $6}' | sort)
[[ $files == "$expected" ]] || fail "the package holds other files than expected:"$'\n'"$files"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
tool=$work/root/usr/bin/gaussian_noise
doc=$work/root/usr/share/doc/gaussian-noise

[[ $("$tool" --version) == "gaussian_noise $version" ]] || fail "the unpacked tool does not print version $version"
mkdir "$work/run"
(cd "$work/run" && "$tool" 0 1 2 3 >/dev/null) || fail "the unpacked tool failed"
table=$(cat "$work/run/generated_noise.csv")
[[ $table =~ ^[^,$'\n']+,[^,$'\n']+,[^,$'\n']+,$'\n'[^,$'\n']+,[^,$'\n']+,[^,$'\n']+,$ ]] ||
  fail "the unpacked tool did not write 2 rows of 3 samples: $table"

MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/gaussian_noise.1.gz" >"$work/man.txt" 2>"$work/man.err"
[[ ! -s $work/man.err ]] || fail "man warns about the page: $(cat "$work/man.err")"
grep -q "gaussian_noise $version" "$work/man.txt" || fail "the man page does not show version $version"

zcat "$doc/changelog.gz" >"$work/changelog"
[[ $(dpkg-parsechangelog -l "$work/changelog" -S Version) == "$version" ]] ||
  fail "the changelog's newest entry is not $version"
cmp -s "$doc/copyright" LICENSE || fail "the copyright file is not LICENSE"

lintian --fail-on error,warning --info "$deb" 2>&1 | sed '/running with root privileges/d'
echo "check_package.sh: $deb is sound ($(stat -c %s "$deb") bytes)"
