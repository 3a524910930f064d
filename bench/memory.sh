#!/usr/bin/env bash
# Peak resident memory (and time) of the tools on long lists, against the targets:
# icv_writer and icv_tree at most 4 MiB + 1.25 x (list bytes + 32 bytes per entry),
# icv_check at most 8 MiB whatever the list's length, with --complete 8 MiB + 16
# bytes per record however large the tree.
#
#   bench/memory.sh [BUILD_DIR]
#
# Makes 100,000 empty files (a list of 10.4 MiB) in a temporary
# directory, writes their hash list, checks it, checks a list ten times as
# long, and checks a list of 10 MB of lines that are only "="; lists the same
# tree with icv_tree and checks that list with --complete.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
[ -x /usr/bin/time ] || { echo "needs GNU time (Debian: time)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 - <<'PY'
import os
with open("files.lst", "w") as lst:
    for d in range(100):
        folder = "tree/share/application/components/d%03d" % d
        os.makedirs(folder)
        for i in range(1000):  # lines of 109 bytes, recorded as read
            name = "%s/file-%06d.data" % (folder, d * 1000 + i)
            open(name, "w").close()
            lst.write("%s=%s\n" % (name, name))
PY
peak() {  # peak RSS in KiB and seconds of a command, its output thrown away
  /usr/bin/time -f '%M %e' -o rss.out "$@" > /dev/null 2>&1 || true
  tail -n 1 rss.out
}
entries=$(wc -l < files.lst)
bytes=$(stat -c %s files.lst)
"$build/icv_writer" -Lfiles.lst > hashes.lst
for i in $(seq 10); do cat hashes.lst; done > hashes10.lst
head -c 10000000 /dev/zero | tr '\0' '\n' | sed 's/^$/=/' > equals.lst
"$build/icv_tree" tree > tree.lst
tree_bytes=$(stat -c %s tree.lst)

writer=$(peak "$build/icv_writer" -Lfiles.lst)
check=$(peak "$build/icv_check" hashes.lst)
check10=$(peak "$build/icv_check" hashes10.lst)
equals=$(peak "$build/icv_check" equals.lst)
lister=$(peak "$build/icv_tree" tree)
complete=$(peak "$build/icv_check" --root=tree --complete tree.lst)
target=$(( (4 << 20) / 1024 + (bytes + 32 * entries) * 5 / 4 / 1024 ))
tree_target=$(( (4 << 20) / 1024 + (tree_bytes + 32 * entries) * 5 / 4 / 1024 ))
printf '%-50s %9s %9s %9s\n' run "peak KiB" seconds "target"
printf '%-50s %9s %9s %9s\n' "icv_writer -L, $entries entries, $bytes bytes" $writer "$target"
printf '%-50s %9s %9s %9s\n' "icv_tree, the same $entries files" $lister "$tree_target"
printf '%-50s %9s %9s %9s\n' "icv_check, $entries records" $check 8192
printf '%-50s %9s %9s %9s\n' "icv_check, $((entries * 10)) records" $check10 8192
printf '%-50s %9s %9s %9s\n' "icv_check, 10 MB of '=' lines" $equals 8192
printf '%-50s %9s %9s %9s\n' "icv_check --root --complete, $entries records" $complete $((8192 + 16 * entries / 1024))
