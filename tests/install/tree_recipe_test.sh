#!/usr/bin/env bash
# The recipe for listing a whole tree, run as the READMEs print it (and
# icv_tree(1), icv_writer(1) too) on a staged tree with symlinks in and out, a
# FIFO, odd names and a long path: names a list cannot hold fail the run and
# write nothing; the check passes; each tamper, on a fresh copy, gives its
# findings and status 2; names and symlinks that lead out of the tree never
# read the file there.
#
# tree_recipe_test.sh SOURCE_DIR ICV_TREE ICV_CHECK
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
recipe() { awk '/^#+ Listing a whole tree/ { on = 1 } on && /^```/ { if (code) exit; code = 1; next } code' "$1"; }
work=$(mktemp -d "${TMPDIR:-/tmp}/icv-tree-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
recipe "$1/README.md" >"$work/recipe.sh"
recipe "$1/docs/README.user.md" | diff -u "$work/recipe.sh" - || fail "the users' README prints another recipe"
for page in icv_tree icv_writer; do
  groff -man -Tascii -P-cbou "$1/docs/$page.1" | sed 's/^ *//' | grep -Fx -f "$work/recipe.sh" |
    diff -u "$work/recipe.sh" - || fail "$page(1) prints another recipe"
done
mkdir "$work/bin" && ln -s "$2" "$work/bin/icv_tree" && ln -s "$3" "$work/bin/icv_check"
export PATH=$work/bin:$PATH LC_ALL=C
cd "$work"
digests() { sed -E 's/:[0-9a-f]{64}\]/:D]/'; }

# Each file holds its own name, so that one read in place of another shows.
long=$(printf 'd%.0s' {1..99}); long=$(printf "$long/%.0s" {1..40})f  # 4,001 characters
files=("bin/my tool" etc/app.conf "lib/x$(printf '\377')y" "[doc" "$long")
for name in "${files[@]}"; do mkdir -p "$(dirname "stage/opt/app/$name")" && echo "$name" >"stage/opt/app/$name"; done
mkdir outside && echo secret >outside/secret && cp /etc/passwd outside/
ln -s "../bin/my tool" stage/opt/app/lib/rel && ln -s /opt/app/etc/app.conf stage/opt/app/lib/abs
ln -s "$work/outside/secret" stage/opt/app/lib/out && ln -s ../../../../outside/secret stage/opt/app/lib/up
ln -s none stage/opt/app/lib/dangling && ln -s loop stage/opt/app/lib/loop && ln -s ../bin stage/opt/app/lib/dir
mkfifo stage/opt/app/lib/fifo
left=("dir (a symlink to a directory)" "out (a symlink that leads to nothing inside the tree)"
  "up (a symlink that leads to nothing inside the tree)" "dangling (a symlink that leads to nothing inside the tree)"
  "loop (a symlink loop)" "fifo (neither a file nor a directory)")
leftout=$(printf 'Left out: /opt/app/lib/%s.\n' "${left[@]}")

# Names a list cannot hold: nothing written, status 255; left out on request.
echo x >stage/opt/app/a=b && echo x >$'stage/opt/app/n\nl'
status=0 && sh -e recipe.sh >out 2>err || status=$?
[ $status = 255 ] && [ ! -s hashes.lst ] && [ ! -s out ] || fail "names a list cannot hold: status $status"
sort err | diff -u <({ echo "$leftout"; echo "Cannot record: /opt/app/a=b (an '=' in the name)."
  echo "Cannot record: /opt/app/n\\nl (a line break in the name)."
  echo "Error: Names a hash list cannot hold: 2; nothing was written (--skip-unlistable leaves them out)"; } | sort) - ||
  fail "the messages of names a list cannot hold"
icv_tree --skip-unlistable stage 2>err | cut -d= -f1 >names && grep -qxF "Left out: /opt/app/a=b (an '=' in the name)." err ||
  fail "--skip-unlistable: $(cat err)"
rm stage/opt/app/a=b $'stage/opt/app/n\nl'
icv_tree --prefix='[p' stage >out 2>err && fail "a prefix beginning with '[' was recorded"
[ ! -s out ] && [ "$(grep -c "^Cannot record: \[p/.* (begins with '\[')\.$" err)" = 7 ] || fail "prefix '[p': $(cat err)"

# The round trip: the names in byte order, a symlink recorded by its file's content.
sh -e recipe.sh >out 2>err || fail "the recipe: $(cat err)"
[ ! -s out ] && sort err | diff -u <({ echo "$leftout"; echo "Processed: 7, Errors: 0, NotFound: 0, AccessDenied: 0, Added: 0"; } | sort) - ||
  fail "the recipe printed: $(cat out err)"
printf '/opt/app/%s\n' "${files[@]}" lib/abs lib/rel | sort | tee expected | diff -u - names || fail "--skip-unlistable listed other names"
cut -d= -f1 hashes.lst | diff -u expected - || fail "hashes.lst does not record the names in byte order"
[ "$(grep -c "$(sed -n 's|^/opt/app/lib/rel=||p' hashes.lst)" hashes.lst)" = 2 ] &&
  [ "$(grep -c "$(sed -n 's|^/opt/app/lib/abs=||p' hashes.lst)" hashes.lst)" = 2 ] || fail "a symlink recorded another file"

# Tampers, each on a fresh copy: the command, then the findings, then the summary's Errors/NotFound/Added.
mv stage pristine
F=/opt/app
while IFS='|' read -r tamper expected counts; do
  rm -rf stage && cp -a pristine stage && (cd stage/opt/app && eval "$tamper")
  status=0 && tail -1 recipe.sh | sh >out 2>err || status=$?
  read -r e n a <<<"$counts"
  digests <out | diff -u <(eval "printf '%s\n' $expected") - && [ $status = 2 ] &&
    [ "$(cat err)" = "Processed: 7, Errors: $e, NotFound: $n, AccessDenied: 0, Added: $a" ] ||
    fail "after '${tamper:0:50}': status $status, $(cat err)"
done <<EOF
echo more >>etc/app.conf|"File changed: $F/etc/app.conf [#GOST3411_256_2012:D]." "File changed: $F/lib/abs [#GOST3411_256_2012:D]."|2 0 0
: >"bin/my tool"|"File changed: $F/bin/my tool [#GOST3411_256_2012:D]." "File changed: $F/lib/rel [#GOST3411_256_2012:D]."|2 0 0
rm "$long"|"Warning: File not found: $F/$long."|0 1 0
echo new >etc/new.conf|"File added: $F/etc/new.conf."|0 0 1
ln -sfn ../etc/app.conf lib/rel|"File changed: $F/lib/rel [#GOST3411_256_2012:D]."|1 0 0
rm etc/app.conf && mkdir etc/app.conf|"File unreadable: $F/etc/app.conf (a directory)." "File unreadable: $F/lib/abs (a directory)."|2 0 0
rm etc/app.conf && mkfifo etc/app.conf|"File unreadable: $F/etc/app.conf (a FIFO)." "File unreadable: $F/lib/abs (a FIFO)."|2 0 0
EOF

# Out of the tree nothing is read: by name, by .. or by a symlink, each digest the file's there.
icv_tree outside | sed 's|^/passwd=|/../../../../../../../etc/passwd=|; s|^/secret=|/../outside/secret=|p
  s|^/\.\./outside/secret=|/opt/app/lib/out=|p; s|^/opt/app/lib/out=|/opt/app/lib/up=|' >escape.lst
status=0 && icv_check --root=pristine escape.lst >out 2>&1 || status=$?
[ $status = 2 ] && diff -u <(printf 'Warning: File not found: %s.\n' /../../../../../../../etc/passwd /../outside/secret \
  /opt/app/lib/out /opt/app/lib/up; echo "Processed: 4, Errors: 0, NotFound: 4, AccessDenied: 0") out ||
  fail "a name or symlink leading out of the root: status $status"
