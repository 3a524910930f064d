#!/usr/bin/env bash
# The recipe for listing a whole tree, run as the READMEs print it (and
# icv_writer(1) too) on a staged tree
# with repeated base names and names with spaces: the check passes, then finds a
# changed and a missing file under their install names; a name with '=' makes
# the run fail and write nothing.
#
# tree_recipe_test.sh SOURCE_DIR ICV_WRITER ICV_CHECK
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
recipe() { awk '/^#+ Listing a whole tree/ { on = 1 } on && /^```/ { if (code) exit; code = 1; next } code' "$1"; }
work=$(mktemp -d "${TMPDIR:-/tmp}/icv-tree-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
recipe "$1/README.md" >"$work/recipe.sh"
recipe "$1/docs/README.user.md" | diff -u "$work/recipe.sh" - || fail "the users' README prints another recipe"
groff -man -Tascii -P-cbou "$1/docs/icv_writer.1" | sed 's/^ *//' | grep -Fx -f "$work/recipe.sh" |
  diff -u "$work/recipe.sh" - || fail "icv_writer(1) prints another recipe"
# The tools under the names the recipe uses.
mkdir "$work/bin" && ln -s "$2" "$work/bin/icv_writer" && ln -s "$3" "$work/bin/icv_check"
export PATH=$work/bin:$PATH
cd "$work"

# Each file holds its own name, so that one read in place of another shows.
names=("bin/my tool" etc/app.conf share/doc/a/copyright "share/doc/b c/copyright" share/doc/d/copyright)
for name in "${names[@]}"; do mkdir -p "stage/opt/app/${name%/*}" && echo "$name" >"stage/opt/app/$name"; done
sh -e recipe.sh >out 2>&1 || fail "the recipe: $(cat out)"
[ "$(cat out)" = "Processed: 5, Errors: 0, NotFound: 0, AccessDenied: 0" ] || fail "the recipe printed: $(cat out)"
printf '/opt/app/%s\n' "${names[@]}" | diff -u - <(sed -E 's/=#GOST3411_256_2012:[0-9a-f]{64}$//' hashes.lst) ||
  fail "hashes.lst does not record the install names, in order"

echo changed >>"stage/opt/app/bin/my tool"
rm "stage/opt/app/share/doc/b c/copyright"
status=0
tail -1 recipe.sh | sh >out 2>err || status=$?
sed -E 's/:[0-9a-f]{64}\]/:D]/' out | diff -u - <(printf '%s\n' "File changed: /opt/app/bin/my tool [#GOST3411_256_2012:D]." \
  "Warning: File not found: /opt/app/share/doc/b c/copyright.") || fail "the findings after a change and a removal"
[ "$status" = 2 ] && [ "$(cat err)" = "Processed: 5, Errors: 1, NotFound: 1, AccessDenied: 0" ] ||
  fail "status $status after a change and a removal: $(cat err)"

echo x >stage/opt/app/etc/a=b
sh -e recipe.sh >out 2>&1 && fail "a name with '=' was recorded"
grep -qx './opt/app/etc/a=b' out && grep -qF 'Can`t open File for reading' out && [ ! -s hashes.lst ] ||
  fail "a name with '=': $(cat out)"
