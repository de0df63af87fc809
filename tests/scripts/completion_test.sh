#!/usr/bin/env bash
# Drives the bash completion of gaussian_noise as bash does on a few command
# lines and compares what it offers with what a user should see.
# Usage: completion_test.sh COMPLETION_FILE
set -uo pipefail

library=/usr/share/bash-completion/bash_completion
if [[ ! -r $library ]]; then
  echo "completion_test.sh: $library is missing: install bash-completion (apt-get install bash-completion)"
  exit 1
fi
# shellcheck source=/dev/null
source "$library"
# shellcheck source=/dev/null
source "$1"
compopt() { :; }  # only works inside a real completion

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch table.csv notes.txt
mkdir out

# Splits LINE into words as bash does (blanks, and '=' as a word of its own),
# completes its last word and prints the offers sorted on one line.
offers() {
  local line=$1 word typed
  COMP_WORDS=()
  read -ra typed <<<"$line"
  for word in "${typed[@]}"; do
    while [[ $word == *=* ]]; do
      [[ -n ${word%%=*} ]] && COMP_WORDS+=("${word%%=*}")
      COMP_WORDS+=("=")
      word=${word#*=}
    done
    [[ -n $word ]] && COMP_WORDS+=("$word")
  done
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _gaussian_noise gaussian_noise "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}

passed=0 failed=0
expect() {
  local line=$1 wanted=$2 got
  got=$(offers "$line")
  if [[ $got == "$wanted" ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "'$line' offers '$got', not '$wanted'"
  fi
}

all_options="--format= --help --list-thrown-pairs --lossless --output= --part= --progress --quiet --rows= --seed= --threads= --thrown-pairs= --version -T -h -o -q -s"
expect "gaussian_noise -" "$all_options"
expect "gaussian_noise --" "--format= --help --list-thrown-pairs --lossless --output= --part= --progress --quiet --rows= --seed= --threads= --thrown-pairs= --version"
expect "gaussian_noise --part " ""
expect "gaussian_noise --thrown-pairs no" "notes.txt"
expect "gaussian_noise --format=" "csv f32 npy"
expect "gaussian_noise --format n" "npy"
expect "gaussian_noise --ou" "--output="
expect "gaussian_noise -q 0 1 --v" "--version"
expect "gaussian_noise -o ta" "table.csv"
expect "gaussian_noise --output " "notes.txt out table.csv"
expect "gaussian_noise --output=no" "notes.txt"
expect "gaussian_noise --seed " ""
expect "gaussian_noise 0 1 2 3 -qo ta" "table.csv"
expect "gaussian_noise -s -" ""
expect "gaussian_noise --seed=" ""
expect "gaussian_noise -T " ""
expect "gaussian_noise --threads=" ""
expect "gaussian_noise 0 1 " ""
expect "gaussian_noise 0 -1" ""

echo "completion: $passed passed, $failed failed"
((failed == 0))
