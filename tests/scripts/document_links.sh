#!/usr/bin/env bash
# Checks that every relative link and every repository path named in the
# README and in docs/*.md exists, and that a link's #anchor names a heading
# of the document it points at, so that no document points at what was moved
# or renamed. Lines that hold only a slot comment are left out.
#
#   document_links.sh ROOT
set -euo pipefail
cd "$1"

# The headings of a markdown file outside code blocks, as anchors: lower
# case, punctuation dropped, spaces as hyphens.
anchors() {
  awk '/^ *```/ { code = !code; next } !code && /^#+ / { sub(/^#+ /, ""); print }' "$1" |
    tr '[:upper:]' '[:lower:]' | sed 's/[^a-z0-9 _-]//g; s/ /-/g'
}

broken=0
fail() {
  echo "$document: $*" >&2
  broken=1
}

for document in README.md docs/*.md; do
  text=$(grep -v '^<!-- slot: .* -->$' "$document" || true)
  prose=$(awk '/^ *```/ { code = !code; next } !code' <<<"$text")

  # Links, [text](target) and ![alt](target), but not to other sites.
  while IFS= read -r target; do
    [[ -n $target ]] || continue
    file=${target%%#*}
    anchor=${target#"$file"}
    anchor=${anchor#\#}
    if [[ -z $file ]]; then
      file=$document
    else
      file=$(dirname "$document")/$file
    fi
    if [[ ! -e $file ]]; then
      fail "links to $target, which does not exist"
    elif [[ -n $anchor ]] && ! anchors "$file" | grep -qxF -- "$anchor"; then
      fail "links to $target: no heading of ${file#./} makes #$anchor"
    fi
  done < <(grep -oE '\]\([^)]+\)' <<<"$prose" | sed 's/^](//; s/)$//' | grep -vE '^[a-z]+:' || true)

  # Paths in the repository, in prose and code alike.
  while IFS= read -r path; do
    [[ -z $path || -e $path ]] || fail "names $path, which does not exist"
  done < <(grep -oE '(^|[^A-Za-z0-9_./-])((src|tests|tools|examples|docs|bench|packaging|completions|cmake)/[A-Za-z0-9_./-]*|\.ci/run)' <<<"$text" |
    sed -E 's/^[^A-Za-z0-9.]//; s/\.+$//' | sort -u || true)
done
exit "$broken"
