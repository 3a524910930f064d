#!/usr/bin/env bash
# Builds the Debian package of the build tree with CPack into a temporary
# folder and checks its control fields, its contents and the tools it holds.
#
# deb_test.sh BUILD_DIR SOURCE_DIR CONFIG VERSION CPACK
set -euo pipefail

if [ $# -ne 5 ]; then
  echo "usage: $0 BUILD_DIR SOURCE_DIR CONFIG VERSION CPACK" >&2
  exit 2
fi
build=$1 source=$2 config=$3 version=$4 cpack=$5

for tool in dpkg-deb:dpkg dpkg:dpkg gzip:gzip; do
  if ! command -v "${tool%%:*}" >/dev/null; then
    echo "FAIL: ${tool%%:*} not found; install the Debian package ${tool#*:}" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/icv-deb-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

echo "== cpack -G DEB"
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -C "$config" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack -G DEB"; }
deb=$work/icv_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work" >&2; fail "no package $deb"; }

echo "== dpkg-deb --info"
dpkg-deb --info "$deb" >"$work/info"
cat "$work/info"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = icv ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
grep -qx ' Package: icv' "$work/info" || fail "dpkg-deb --info shows no 'Package: icv'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
# The tools link the C++ runtime dynamically: the package must depend on it.
[[ "$(field Depends)" == *libstdc++6* ]] || fail "Depends lacks libstdc++6: $(field Depends)"

echo "== dpkg-deb --contents"
dpkg-deb --contents "$deb" | awk '{ print $6 }' | sort >"$work/contents"
cat "$work/contents"
# Man pages are packed gzip'ed, as Debian keeps them.
for path in ./usr/bin/icv_writer ./usr/bin/icv_check \
  ./usr/share/man/man1/icv_writer.1.gz ./usr/share/man/man1/icv_check.1.gz \
  ./usr/lib/libicv.a ./usr/include/icv/hash/hash.h ./usr/lib/cmake/icv/icvConfig.cmake \
  ./usr/lib/pkgconfig/icv.pc; do
  grep -qxF "$path" "$work/contents" || fail "the package lacks $path"
done
if grep -v '^\./usr/' "$work/contents" | grep -v '^\./$' | grep -q .; then
  fail "the package installs outside /usr"
fi

# Unpacked, the files are the ones of the source tree and the tools work.
dpkg-deb --extract "$deb" "$work/root"
for page in icv_writer icv_check; do
  gzip -dc "$work/root/usr/share/man/man1/$page.1.gz" | cmp -s - "$source/docs/$page.1" ||
    fail "the packed $page.1 differs from docs/$page.1"
done
grep -qx 'prefix=/usr' "$work/root/usr/lib/pkgconfig/icv.pc" || fail "icv.pc does not name prefix /usr"
printf abc >"$work/abc"
(cd "$work" && "$work/root/usr/bin/icv_writer" -F/opt/abc=abc) >"$work/hashes"
echo "/opt/abc=#GOST3411_256_2012:4e2919cf137ed41ec4fb6270c61826cc4fffb660341e0af3688cd0626d23b481" |
  cmp -s - "$work/hashes" || { cat "$work/hashes" >&2; fail "the packed icv_writer printed another line"; }
echo "== package $(basename "$deb") as expected"
