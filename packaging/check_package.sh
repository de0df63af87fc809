#!/usr/bin/env bash
# Checks the Debian packages that `cmake --workflow --preset package` leaves
# in build/package/: their names and contents, that the unpacked tool runs
# and writes a table, that its man page renders without warnings, that its
# version, changelog and man page agree, that the unpacked Python module
# gives the tool's table, and that lintian finds nothing in either.
# Needs dpkg-dev, man-db, lintian and python3-numpy.
# Usage: packaging/check_package.sh [PACKAGE.deb [PYTHON_PACKAGE.deb]]
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "check_package.sh: $*" >&2
  exit 1
}

version=$(sed -n 's/^project(gaussian_noise VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
deb=${1:-build/package/gaussian-noise_${version}_$(dpkg --print-architecture).deb}
python_deb=${2:-build/package/python3-gaussian-noise_${version}_$(dpkg --print-architecture).deb}
[[ -f $deb && -f $python_deb ]] || fail "no packages $deb and $python_deb: run 'cmake --workflow --preset package' first"
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

[[ $(dpkg-deb -f "$python_deb" Version) == "$version" ]] || fail "the Python package's version is not $version"
[[ $(dpkg-deb -f "$python_deb" Depends) == *python3-numpy* ]] || fail "the Python package does not depend on python3-numpy"
module=$(/usr/bin/python3 -c 'import sysconfig; print("gaussian_noise" + sysconfig.get_config_var("EXT_SUFFIX"))')
expected="./usr/lib/python3/dist-packages/$module
./usr/lib/python3/dist-packages/gaussian_noise.pyi
./usr/share/doc/python3-gaussian-noise/changelog.gz
./usr/share/doc/python3-gaussian-noise/copyright"
files=$(dpkg-deb -c "$python_deb" | awk '!/^d/ {print $6}' | sort)
[[ $files == "$expected" ]] || fail "the Python package holds other files than expected:"$'\n'"$files"
dpkg-deb -x "$python_deb" "$work/python"
(cd "$work/run" && "$tool" -q -s 9 --format=f32 -o table.f32 0 1 20 30) || fail "the unpacked tool failed"
PYTHONPATH=$work/python/usr/lib/python3/dist-packages /usr/bin/python3 -c "
import sys, gaussian_noise
assert gaussian_noise.__version__ == '$version', gaussian_noise.__version__
table = gaussian_noise.table(0, 1, 20, 30, seed=9)
sys.exit(table.tobytes() != open('$work/run/table.f32', 'rb').read())" ||
  fail "the unpacked Python module does not give the tool's table"
cmp -s "$work/python/usr/share/doc/python3-gaussian-noise/changelog.gz" "$doc/changelog.gz" ||
  fail "the packages' changelogs differ"

for package in "$deb" "$python_deb"; do
  lintian --fail-on error,warning --info "$package" 2>&1 | sed '/running with root privileges/d'
done
echo "check_package.sh: $deb and $python_deb are sound ($(stat -c %s "$deb") and $(stat -c %s "$python_deb") bytes)"
