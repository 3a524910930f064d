#!/usr/bin/env bash
# The README's recipe for a tree hashed in shards, with local jobs: the shard
# outputs put together equal one run byte for byte, and a failed shard is found
# in the job log, left empty, and rerun alone.
#
# shard_recipe_test.sh ICV_WRITER [LAUNCHER]   (LAUNCHER: the emulator of a cross build)
set -euo pipefail

if ! command -v parallel >/dev/null; then
  echo "SKIP: GNU parallel not found (Debian package parallel): the shard recipe is not tested"
  exit 77
fi
writer="${2:+$(printf %q "$2") }$(printf %q "$1")"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
work=$(mktemp -d "${TMPDIR:-/tmp}/icv-shard-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# A small tree and its list: entries with a source and without (read from the
# current folder under the bare name), and a blank line.
mkdir d0 d1 d2 d3
for i in $(seq 1 30); do
  if [ $((i % 3)) -eq 0 ]; then
    seq "$((i * 40))" >"f$i"
    echo "/opt/tree/f$i"
  else
    seq "$((i * 40))" >"d$((i % 4))/f$i"
    echo "/opt/tree/f$i=d$((i % 4))/f$i"
  fi
  [ "$i" -ne 12 ] || echo
done >files.lst
eval "$writer -Lfiles.lst" >single.lst

split -n l/4 -d files.lst shard.
mv d2/f14 f14.away  # a file gone missing: its shard fails
if parallel -j1 --joblog shards.log "$writer -L{} > {}.out" ::: shard.?? 2>errors; then
  fail "the shards ran without a failure"
fi
shard=$(grep -l '=d2/f14$' shard.??)
[ "$(awk -F'\t' 'NR > 1 && $7 != 0 { print $9 }' shards.log)" = "$writer -L$shard > $shard.out" ] ||
  { cat shards.log >&2; fail "the job log does not name $shard alone as failed"; }
[ ! -s "$shard.out" ] || fail "the failed shard wrote output"
mv f14.away d2/f14
parallel --retry-failed --joblog shards.log || fail "the failed shard failed again"
cat shard.??.out >sharded.lst
cmp single.lst sharded.lst || fail "the shards put together differ from one run"
echo "== $(wc -l <single.lst) lines in 4 shards, byte for byte those of one run"
