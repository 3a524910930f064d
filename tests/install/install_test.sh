#!/usr/bin/env bash
# What a user of the installed icv gets, checked in temporary folders:
#  1. the man pages format without a groff warning and document every message
#     the tools write about files;
#  2. cmake --install puts exactly the expected files under a prefix, and the
#     consumer project builds against them with only <prefix>/include on its
#     include path, through find_package(icv) and through pkg-config;
#  3. CPack makes the two Debian packages, icv and libicv-dev, with the right
#     files, dependencies, copyright and changelog, lintian-clean where lintian
#     is installed.
#
# install_test.sh BUILD_DIR SOURCE_DIR CXX CONFIG VERSION LIBDIR CMAKE CPACK [EXTRA_FLAGS]
#   EXTRA_FLAGS: compile and link flags the library was built with that its
#   users need too (the sanitizers of an ICV_SANITIZE build), or empty.
set -euo pipefail

if [ $# -lt 8 ]; then
  echo "usage: $0 BUILD_DIR SOURCE_DIR CXX CONFIG VERSION LIBDIR CMAKE CPACK [EXTRA_FLAGS]" >&2
  exit 2
fi
build=$1 source=$2 cxx=$3 config=$4 version=$5 libdir=$6 cmake=$7 cpack=$8 extra=${9:-}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
for tool in groff:groff-base pkg-config:pkg-config dpkg-deb:dpkg dpkg-architecture:dpkg-dev gzip:gzip; do
  command -v "${tool%%:*}" >/dev/null || fail "${tool%%:*} not found; install the Debian package ${tool#*:}"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/icv-install-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Compares a file with the expected text on standard input.
expect_file() {
  diff -u - "$2" >"$work/diff" || { cat "$work/diff" >&2; fail "$1 differs (- expected, + actual)"; }
}

echo "== man pages"
for page in icv_writer icv_check; do
  file=$source/docs/$page.1
  groff -man -Tutf8 -ww -z "$file" 2>"$work/warnings"
  [ ! -s "$work/warnings" ] || { cat "$work/warnings" >&2; fail "groff warns about docs/$page.1"; }
  grep -q "^\.TH $(echo "$page" | tr '[:lower:]' '[:upper:]') 1 " "$file" || fail "docs/$page.1: no .TH line"
  # One line of plain text, so that messages are found whatever the line breaks.
  groff -man -Tutf8 -rHY=0 -P-cbou "$file" 2>/dev/null | tr -s ' \n' '  ' >"$work/$page.txt"
  grep -qF "$page - " "$work/$page.txt" || fail "docs/$page.1: no NAME line"
done
# Every message of the checker and of the failure report: their string
# literals of ten characters or more that start with a capital letter.
grep -ohE '"[A-Z][^"]{9,}"' "$source"/src/checker/*.cpp "$source"/src/frontend/report.h |
  sed -E 's/^"//; s/ *"$//' | sort -u >"$work/messages"
[ "$(wc -l <"$work/messages")" -ge 10 ] || fail "found only $(wc -l <"$work/messages") messages in the sources"
echo 'Processed: p, Errors: e, NotFound: n, AccessDenied: a' >>"$work/messages"
while IFS= read -r message; do
  grep -qF -- "$message" "$work/icv_writer.txt" "$work/icv_check.txt" ||
    fail "no man page documents the message '$message'"
done <"$work/messages"

echo "== cmake --install"
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" --config "$config" >"$work/install.log" ||
  { cat "$work/install.log" >&2; fail "cmake --install"; }
(cd "$prefix" && find . ! -type d | sort) >"$work/tree"
sort <<EOF | expect_file "installed tree" "$work/tree"
./bin/icv_check
./bin/icv_writer
./include/icv/algorithms/_md5.h
./include/icv/algorithms/block_buffer.h
./include/icv/algorithms/digest_bytes.h
./include/icv/algorithms/gost3411.h
./include/icv/algorithms/gost34_11_2012.h
./include/icv/algorithms/gost34_11_2012_i.h
./include/icv/checker/hashfile_checker.h
./include/icv/hash/hash.h
./include/icv/util/qvstr.h
./$libdir/cmake/icv/icvConfig.cmake
./$libdir/cmake/icv/icvConfigVersion.cmake
./$libdir/cmake/icv/icvTargets-$(echo "$config" | tr '[:upper:]' '[:lower:]').cmake
./$libdir/cmake/icv/icvTargets.cmake
./$libdir/libicv.a
./$libdir/pkgconfig/icv.pc
./share/doc/icv/README.md
./share/man/man1/icv_check.1
./share/man/man1/icv_writer.1
EOF

# What the consumer prints, however it was built.
cat >"$work/expected" <<'EOF'
#GOST3411_256_2012:4e2919cf137ed41ec4fb6270c61826cc4fffb660341e0af3688cd0626d23b481
#MD5:900150983cd24fb0d6963f7d28e17f72
hash list: result 0, Processed: 1, Errors: 0, NotFound: 0, AccessDenied: 0
records: result -1, Processed: 3, Errors: 1, NotFound: 1, AccessDenied: 0
File changed: a.txt [#MD5:900150983cd24fb0d6963f7d28e17f72].
Warning: File not found: gone.txt.
icv 17
EOF
run_consumer() {
  mkdir "$work/run-$1"
  (cd "$work/run-$1" && "$2") >"$work/out-$1" || fail "the consumer built with $1 failed"
  expect_file "output of the consumer built with $1" "$work/out-$1" <"$work/expected"
}

echo "== consumer through find_package(icv $version)"
consumer=$source/tests/install/consumer
cmake_args=(-DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$config"
  -DCMAKE_CXX_FLAGS="${CXXFLAGS:-} $extra" -DCMAKE_EXE_LINKER_FLAGS="$extra" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
"$cmake" -S "$consumer" -B "$work/cmake-build" -DICV_VERSION="$version" "${cmake_args[@]}" \
  >"$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; fail "consumer configure"; }
grep -qx "icv_DIR:PATH=$prefix/$libdir/cmake/icv" "$work/cmake-build/CMakeCache.txt" ||
  fail "find_package(icv) did not take the package from $prefix"
# <prefix>/include and nothing below it: short names such as hash/hash.h stay out of users' projects.
grep -qx '  INTERFACE_INCLUDE_DIRECTORIES "${_IMPORT_PREFIX}/include"' "$prefix/$libdir/cmake/icv/icvTargets.cmake" ||
  fail "icv::icv has other include directories than <prefix>/include"
"$cmake" --build "$work/cmake-build" >"$work/build.log" 2>&1 ||
  { cat "$work/build.log" >&2; fail "consumer build with find_package"; }
run_consumer find_package "$work/cmake-build/icv_consumer"
# The version file turns down the next major version.
next=$((${version%%.*} + 1)).0
if "$cmake" -S "$consumer" -B "$work/cmake-next" -DICV_VERSION="$next" "${cmake_args[@]}" >"$work/next.log" 2>&1 ||
  ! grep -q "icvConfig.cmake, version: $version\$" "$work/next.log"; then
  cat "$work/next.log" >&2
  fail "find_package(icv $next) did not turn down version $version"
fi

echo "== consumer through pkg-config"
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
[ "$(pkg-config --modversion icv)" = "$version" ] || fail "pkg-config --modversion icv"
flags=$(pkg-config --cflags --libs icv)
[ "${flags% }" = "-I$prefix/include -L$prefix/$libdir -licv -pthread" ] || fail "pkg-config --cflags --libs icv: $flags"
# shellcheck disable=SC2086  # the flags are words
"$cxx" -std=c++17 -Wall -Wextra -Werror $extra -o "$work/pc-consumer" "$consumer/main.cpp" $flags \
  >"$work/pc-build.log" 2>&1 || { cat "$work/pc-build.log" >&2; fail "consumer build with pkg-config"; }
run_consumer pkg-config "$work/pc-consumer"

echo "== Debian packages"
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -C "$config" -B "$work/debs" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack -G DEB"; }
for name in icv libicv-dev; do
  deb=$work/debs/${name}_${version}_$(dpkg --print-architecture).deb
  [ -f "$deb" ] || { ls "$work/debs" >&2; fail "no package $(basename "$deb")"; }
  dpkg-deb --field "$deb" | tee "$work/$name.control"
  grep -qx "Package: $name" "$work/$name.control" && grep -qx "Version: $version" "$work/$name.control" ||
    fail "$name: Package or Version field"
  dpkg-deb --contents "$deb" | awk '$6 !~ /\/$/ { print $6 }' | sort >"$work/$name.files"
  dpkg-deb --extract "$deb" "$work/root"
  doc=$work/root/usr/share/doc/$name
  head -1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "$name: copyright is not in the machine-readable format"
  grep -qx 'Copyright: .*The icv authors' "$doc/copyright" && grep -qx 'License: BSD-2-Clause' "$doc/copyright" ||
    fail "$name: copyright holder or license"
  gzip -dc "$doc/changelog.gz" | head -1 | grep -q "^icv ($version) " || fail "$name: changelog.gz lacks version $version"
done
# Together the installed tree under /usr, man pages gzip'ed, and each package's
# copyright and changelog.gz; icv has the tools' part, libicv-dev the rest.
{ sed 's|^\./|./usr/|; s|\.1$|.1.gz|' "$work/tree"
  printf './usr/share/doc/%s/copyright\n./usr/share/doc/%s/changelog.gz\n' icv icv libicv-dev libicv-dev; } |
  sort >"$work/files"
expect_file "files of both packages" <(sort "$work/icv.files" "$work/libicv-dev.files") <"$work/files"
grep -E '^\./usr/(bin|share/man|share/doc/icv)/' "$work/files" | expect_file "files of icv" "$work/icv.files"
grep -qx "./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/libicv.a" "$work/libicv-dev.files" ||
  fail "libicv-dev: libicv.a is not in the multiarch folder"
# The tools link the C++ runtime dynamically; they need nothing of libicv-dev.
depends=$(sed -n "s/^Depends: //p" "$work/icv.control")
[[ "$depends" == *libstdc++6* && "$depends" != *libicv* ]] || fail "icv Depends: $depends"
for page in icv_writer icv_check; do
  gzip -dc "$work/root/usr/share/man/man1/$page.1.gz" | cmp -s - "$source/docs/$page.1" ||
    fail "the packed $page.1 differs from docs/$page.1"
done
grep -qx 'prefix=/usr' "$work/root/usr/$libdir/pkgconfig/icv.pc" || fail "icv.pc: prefix is not /usr"
printf abc >"$work/abc"
(cd "$work" && "$work/root/usr/bin/icv_writer" -F/opt/abc=abc) >"$work/hashes"
echo "/opt/abc=#GOST3411_256_2012:4e2919cf137ed41ec4fb6270c61826cc4fffb660341e0af3688cd0626d23b481" |
  expect_file "line of the packed icv_writer" "$work/hashes"
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$work"/debs/*.deb 2>/dev/null || fail "lintian reports errors or warnings"
  echo "lintian: no error, no warning"
else
  echo "lintian not installed: the packages are not linted"
fi
echo "== installation, consumer and packages as expected"
