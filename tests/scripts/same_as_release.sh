#!/usr/bin/env bash
# Runs the tool and an earlier release, built here from its commit, on
# command lines of four values (and the few that 1.1.0 answered with a usage
# line or read past), under a fixed clock so that both seed rand() alike, and
# checks that they write the same standard output, standard error, exit
# status and files: with a table file in the way, standard output full or
# closed, and standard error closed too. Against 1.2.0 and 1.3.0, also on the
# options 1.2.0 had: --seed, -o, -T, --format and --lossless; against 1.3.0,
# on --part, --rows and --thrown-pairs with a list each wrote itself, and a
# list written by 1.3.0, which has no closing line, is refused with a
# message that says to write it again.
#
#   same_as_release.sh VERSION TOOL SOURCE_DIR FIXED_TIME_SHIM WORK_DIR
#
# VERSION is 1.1.0, 1.2.0 or 1.3.0. The release is built in WORK_DIR, with the cmake
# and generator named by CMAKE and CMAKE_GENERATOR (else cmake's own), and
# reused by later runs. Without git or without the commit in SOURCE_DIR's
# history (a source archive, a shallow clone) the test is skipped (status
# 77), saying why in the file named by GAUSSIAN_NOISE_SKIPPED, except under
# CI=true, where it fails.
set -euo pipefail
trap 'echo "same_as_release.sh: failed at line $LINENO" >&2' ERR
version=$1
tool=$(realpath "$2")
source_dir=$3
shim=$(realpath "$4")
work_dir=$(realpath -m "$5")
case $version in
  1.1.0) release_commit=a27246b ;;
  1.2.0) release_commit=e1cd805 ;;
  1.3.0) release_commit=9b302d8 ;;
  *) echo "same_as_release.sh: no release $version" >&2 && exit 1 ;;
esac
test_name=Version${version//./_}.SameBytes

fail() {
  echo "same_as_release.sh: $*" >&2
  exit 1
}
skip() {
  [[ ${CI-} == true ]] && fail "$1"
  echo "skipped: $1"
  [[ -n ${GAUSSIAN_NOISE_SKIPPED-} ]] && echo "$test_name: $1" >>"$GAUSSIAN_NOISE_SKIPPED"
  exit 77
}

old_tool=$work_dir/build/gaussian_noise
if [[ ! -x $old_tool ]]; then
  command -v git >/dev/null || skip "needs git to build version $version from its commit"
  # git's first line says why: no repository, no such commit, or a
  # repository that another user owns.
  if ! error=$(git -C "$source_dir" cat-file -e "$release_commit^{commit}" 2>&1); then
    skip "needs the repository's history to build version $version from commit $release_commit: ${error%%$'\n'*}"
  fi
  rm -rf "$work_dir"
  mkdir -p "$work_dir/source"
  git -C "$source_dir" archive "$release_commit" | tar -x -C "$work_dir/source"
  generator=()
  [[ -n ${CMAKE_GENERATOR-} ]] && generator=(-G "$CMAKE_GENERATOR")
  if ! { "${CMAKE:-cmake}" -S "$work_dir/source" -B "$work_dir/build" "${generator[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
    "${CMAKE:-cmake}" --build "$work_dir/build" --target gaussian_noise; } >"$work_dir/build.log" 2>&1; then
    cat "$work_dir/build.log" >&2
    fail "version $version did not build"
  fi
fi

runs=$(mktemp -d "${TMPDIR:-/tmp}/same_as_release.XXXXXX")
trap 'rm -rf "$runs"' EXIT
# A sanitized tool loads after the shim.
export ASAN_OPTIONS=${ASAN_OPTIONS-}:verify_asan_link_order=0

# run PROGRAM DIRECTORY SECOND SETUP ARGUMENTS...: runs PROGRAM in the empty
# DIRECTORY at the fixed SECOND, keeping its standard output and error and
# status in files there. SETUP is plain, directory (a directory where the
# table goes), old-table (a longer table there), full (standard output to
# /dev/full), closed (standard output closed) or no-stderr (standard error
# closed).
run() {
  local program=$1 directory=$2 second=$3 setup=$4
  shift 4
  mkdir "$directory"
  (
    cd "$directory"
    case $setup in
      directory) mkdir generated_noise.csv ;;
      old-table) seq 100000 >generated_noise.csv ;;
      own-list) "$program" -q --list-thrown-pairs --seed=376 -o list 0 1 1000 1001 ;;
    esac
    export FIXED_TIME=$second LD_PRELOAD=$shim
    status=0
    case $setup in
      full) "$program" "$@" >/dev/full 2>stderr || status=$? ;;
      closed) "$program" "$@" >&- 2>stderr || status=$? ;;
      no-stderr) "$program" "$@" >stdout 2>&- || status=$? ;;
      *) "$program" "$@" >stdout 2>stderr || status=$? ;;
    esac
    echo "$status" >status
    rm -f list
  )
}

cases=0
differences=0
warnings=0
# same SECOND SETUP ARGUMENTS...: the two tools do the same, but that the
# tool warns of a value that is not wholly a number, as the releases before
# 1.3.0 did not: against them those lines of its standard error are counted
# and left out of the comparison.
same() {
  cases=$((cases + 1))
  run "$tool" "$runs/$cases.tool" "$@"
  run "$old_tool" "$runs/$cases.release" "$@"
  local stderr=$runs/$cases.tool/stderr
  if [[ -f $stderr && $version != 1.3.0 ]]; then
    warnings=$((warnings + $(grep -c '^gaussian_noise: warning: ' "$stderr" || true)))
    sed -i '/^gaussian_noise: warning: /d' "$stderr"
  fi
  if ! diff -r "$runs/$cases.tool" "$runs/$cases.release" >"$runs/diff" 2>&1; then
    differences=$((differences + 1))
    echo "differs from $version at second $1, $2, arguments:$(printf " '%s'" "${@:3}")" >&2
    head -n 20 "$runs/diff" >&2
  fi
}

second=1700000000
# Means and variances as atof reads them, rounded to single precision.
for mean in 0 5 -1 -.5 1e39 -1e39 1e-50 nan -nan inf -inf -0 0x1p3 -0x1p3 ' 3' 2.5e 12abc abc '' -; do
  same $second plain "$mean" 1 2 3
done
for variance in 1 0.25 -0 0 inf 1e30 1e-30 -1 nan -nan -inf abc; do
  same $second plain 10 "$variance" 3 4
done
# Runs and samples as atoi reads them, zero and negative counts, and counts
# out of range.
for runs_and_samples in '0 5' '5 0' '0 0' '-1 5' '5 -1' '2.9 3x' '+4 2' 'abc 2' \
  '2147483648 1' '1 -2147483649' '-2147483648 1'; do
  read -r runs_value samples_value <<<"$runs_and_samples"
  same $second plain 0 1 "$runs_value" "$samples_value"
done
same $second plain 0 1 ' 3' ' -2'
# Seeds whose sequence throws away a pair of draws (at pairs 5, 18 and
# 410216), the clock's first second, and a million cells.
same 74617010 plain 0 1 3 7
same 22312356 plain 1 4 6 6
same 376 plain 2 0.5 1000 1001
same 0 plain -3 9 7 7
# Fewer or more than four values.
same $second plain
same $second plain 0 1 3
same $second plain 0 1 3 5 extra words
# Failures: the table's place taken, an old table to replace, standard
# output full or closed, standard error closed.
for setup in directory old-table full closed no-stderr; do
  same $second "$setup" 0 1 20 30
done

if [[ $version != 1.1.0 ]]; then
  # The options of 1.2.0: seeds, the output named or standard output,
  # threads, the binary formats and the lossless text, alone and together,
  # and their refusals.
  same $second plain --seed 74617010 0 1 3 7
  same $second plain --seed=376 --lossless 2 0.5 100 1001
  same $second plain -o table.csv 1 2 30 40
  same $second plain -o - --seed 22312356 1 4 6 6
  same $second plain -T 2 --seed 376 0 1 1000 1001
  same $second plain -T 0 0 1 50 60
  same $second plain --format npy -o table.npy --seed 5 0 1 20 30
  same $second plain --format=f32 -o table.f32 -T 2 0 1 300 400
  same $second plain --lossless -o - -T 2 --seed 9 1e6 1e-6 40 50
  for refused in '--seed' '--seed x' '--seed -1' '-T' '-T x' '--format' '--format csv2' '-o' '--frobnicate' '-x'; do
    # shellcheck disable=SC2086 # each refusal is words of its own
    same $second plain $refused 0 1 2 3
  done
  same $second plain -o no/such/directory/table.csv 0 1 2 3
  same $second full -o - 0 1 20 30
fi

if [[ $version == 1.3.0 ]]; then
  # Parts and rows, in every format, through the thrown pair at 410216
  # (row 410 of 1001 cells), and their refusals; then the same with each
  # program's own list of thrown pairs.
  same $second plain --seed=376 --part=2/3 0 1 1000 1001
  same $second plain --seed=376 --part=1/4 --format=npy -o part.npy -T 2 0 1 1000 1001
  same $second plain --seed=376 --part=4/4 --format=f32 -o part.f32 0 1 1000 1001
  same $second plain --seed=376 --rows=409-411 --lossless 2 0.5 1000 1001
  same $second plain --seed=376 --rows=990- -T 3 --format=npy -o rows.npy 0 1 1000 1001
  for refused in '--part=0/3' '--part=4/3' '--part=2' '--rows=5-2' '--rows=x' '--rows=2000-' '--thrown-pairs='; do
    same $second plain --seed=376 "$refused" 0 1 1000 1001
  done
  same $second plain --part=2/3 0 1 1000 1001  # without --seed
  same $second own-list --seed=376 --part=3/3 --thrown-pairs=list 0 1 1000 1001
  same $second own-list --seed=376 --rows=411-412 --thrown-pairs=list -o - 0 1 1000 1001
  same $second plain --seed=376 --thrown-pairs=no/such/list --rows=3-4 0 1 1000 1001

  # A list that 1.3.0 wrote, given to the tool: refused, the table untouched.
  cases=$((cases + 1))
  mkdir "$runs/old-list" && (
    cd "$runs/old-list"
    "$old_tool" -q --list-thrown-pairs --seed=376 -o list 0 1 1000 1001
    echo kept >generated_noise.csv
    status=0
    "$tool" -q --seed=376 --rows=500- --thrown-pairs=list 0 1 1000 1001 2>stderr || status=$?
    [[ $status == 1 && $(cat generated_noise.csv) == kept ]] &&
      grep -q "written by version 1.3.0 or earlier (write it again with --list-thrown-pairs)" stderr
  ) || { differences=$((differences + 1)) && echo "a list 1.3.0 wrote was not refused as it should be" >&2; }
fi

((differences == 0)) || fail "$differences of $cases command lines differ from version $version"
echo "$cases command lines: standard output, standard error, status and files as version $version's" \
  "($warnings warnings of values that are not wholly numbers left out)"
