#!/usr/bin/env bash
# The man pages format without a single groff warning, carry their own names,
# and between them document every message the tools write about files, so a
# new message cannot go out undocumented.
#
# man_pages_test.sh SOURCE_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 SOURCE_DIR" >&2
  exit 2
fi
source=$1

if ! command -v groff >/dev/null; then
  echo "FAIL: groff not found; install the Debian package groff-base" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/icv-man-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

for page in icv_writer icv_check; do
  file=$source/docs/$page.1
  [ -f "$file" ] || fail "no $file"
  groff -man -Tutf8 -ww -z "$file" 2>"$work/warnings"
  if [ -s "$work/warnings" ]; then
    cat "$work/warnings" >&2
    fail "groff warns about docs/$page.1"
  fi
  title=$(echo "$page" | tr '[:lower:]' '[:upper:]')
  grep -q "^\.TH $title 1 " "$file" || fail "docs/$page.1 has no '.TH $title 1' line"
  # Plain text without hyphenation or emphasis, one line: messages are found
  # whole whatever the line breaks.
  groff -man -Tutf8 -rHY=0 -P-cbou "$file" 2>/dev/null | tr -s ' \n' '  ' >"$work/$page.txt"
  grep -qF "$page - " "$work/$page.txt" || fail "docs/$page.1 has no NAME line for $page"
done

# Every message the checker and the failure report write: their string
# literals of ten characters or more that start with a capital letter.
grep -ohE '"[A-Z][^"]{9,}"' "$source"/src/checker/*.cpp "$source"/src/frontend/report.h |
  sed -E 's/^"//; s/ *"$//' | sort -u >"$work/messages"
[ "$(wc -l <"$work/messages")" -ge 10 ] || fail "found only $(wc -l <"$work/messages") messages in the sources"
echo 'Processed: p, Errors: e, NotFound: n, AccessDenied: a' >>"$work/messages"
while IFS= read -r message; do
  grep -qF -- "$message" "$work/icv_writer.txt" "$work/icv_check.txt" ||
    fail "no man page documents the message '$message'"
done <"$work/messages"
echo "== man pages: no warnings, $(wc -l <"$work/messages") messages documented"
