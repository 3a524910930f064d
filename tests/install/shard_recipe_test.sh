#!/usr/bin/env bash
# The README's recipe for a tree hashed in shards, with local jobs: the shard
# outputs put together equal one run byte for byte, and a failed shard is found
# by its status in the job log, left empty, and rerun alone.
#
# shard_recipe_test.sh ICV_WRITER [LAUNCHER]   (LAUNCHER: the emulator of a cross build)
set -euo pipefail
command -v parallel >/dev/null || { echo "SKIP: GNU parallel not found (Debian package parallel)"; exit 77; }
writer="${2:+$(printf %q "$2") }$(printf %q "$1")"
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/icv-shard-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# A small tree and its list: entries with a source, every third one without
# (read from the current folder under the bare name), and a blank line.
mkdir d0 d1 d2 d3
for i in $(seq 30); do
  file=d$((i % 4))/f$i entry=/opt/tree/f$i=d$((i % 4))/f$i
  [ $((i % 3)) != 0 ] || file=f$i entry=/opt/tree/f$i
  seq $((i * 40)) >"$file"
  echo "$entry"
  [ "$i" != 12 ] || echo
done >files.lst
eval "$writer -Lfiles.lst" >single.lst

split -n l/4 -d files.lst shard.
mv d2/f14 f14.away  # a file gone missing: its shard fails, and so does parallel
parallel -j1 --joblog shards.log "$writer -L{} > {}.out" ::: shard.?? 2>errors && fail "no shard failed"
shard=$(grep -l '=d2/f14$' shard.??)
[ "$(awk -F'\t' 'NR > 1 && $7 != 0 { print $9 }' shards.log)" = "$writer -L$shard > $shard.out" ] ||
  fail "the job log does not name $shard alone as failed: $(cat shards.log)"
[ ! -s "$shard.out" ] || fail "the failed shard wrote output"
mv f14.away d2/f14
parallel --retry-failed --joblog shards.log || fail "the failed shard failed again"
cat shard.??.out | cmp single.lst - || fail "the shards put together differ from one run"
