#!/usr/bin/env bash
# What a user of the installed icv gets, checked in temporary folders:
#  1. cmake --install puts exactly the expected files under a prefix, and the
#     consumer project builds against them with only <prefix>/include on its
#     include path, through find_package(icv) and through pkg-config;
#  2. CPack makes the two Debian packages, icv and libicv-dev, with the right
#     files, dependencies, copyright and changelog, lintian-clean where lintian
#     is installed; their man pages format without a groff warning and
#     document every message the tools write about files.
#
# install_test.sh BUILD_DIR SOURCE_DIR CXX CONFIG VERSION LIBDIR CMAKE CPACK [EXTRA_FLAGS]
#   EXTRA_FLAGS: compile and link flags the library was built with that its
#   users need too (the sanitizers of an ICV_SANITIZE build), or empty.
set -euo pipefail
build=$1 source=$2 cxx=$3 config=$4 version=$5 libdir=$6 cmake=$7 cpack=$8 extra=${9:-}
fail() { echo "FAIL: $*" >&2; exit 1; }
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
work=$(mktemp -d "${TMPDIR:-/tmp}/icv-install-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
# GOST R 34.11-2012 (256 bits) of "abc", tagged as the tools write it.
abc='#GOST3411_256_2012:4e2919cf137ed41ec4fb6270c61826cc4fffb660341e0af3688cd0626d23b481'

echo "== cmake --install"
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" --config "$config"
(cd "$prefix" && find . ! -type d | sort) >"$work/tree"
printf '%s\n' ./bin/icv_{check,tree,writer} ./share/doc/icv/README.md ./share/man/man1/icv_{check,tree,writer}.1 \
  ./share/doc/icv/examples/{NOTICE,{expected,files,tree}.lst,tree/{bin/hello.sh,etc/hello.conf,share/doc/README}} \
  ./include/icv/{checker/hashfile_checker,hash/hash,util/qvstr}.h \
  ./include/icv/algorithms/{_md5,block_buffer,digest_bytes,gost3411,gost34_11_2012,gost34_11_2012_i}.h \
  "./$libdir/"{libicv.a,pkgconfig/icv.pc} "./$libdir/cmake/icv/icv"{Config,ConfigVersion,Targets,"Targets-${config,,}"}.cmake |
  sort | diff -u - "$work/tree" || fail "the installed tree differs (- expected, + actual)"
cmp "$source/docs/README.user.md" "$prefix/share/doc/icv/README.md" || fail "the installed README is not the users' one"

echo "== consumer through find_package(icv $version)"
consumer=$source/tests/install/consumer
args=(-DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$config"
  -DCMAKE_CXX_FLAGS="${CXXFLAGS:-} -Wall -Wextra -Werror $extra" -DCMAKE_EXE_LINKER_FLAGS="$extra")
"$cmake" -S "$consumer" -B "$work/cmake-build" -DICV_VERSION="$version" "${args[@]}"
grep -qx "icv_DIR:PATH=$prefix/$libdir/cmake/icv" "$work/cmake-build/CMakeCache.txt" ||
  fail "find_package(icv) did not take the package from $prefix"
# <prefix>/include and nothing below it: short names such as hash/hash.h stay out of users' projects.
grep -qx '  INTERFACE_INCLUDE_DIRECTORIES "${_IMPORT_PREFIX}/include"' "$prefix/$libdir/cmake/icv/icvTargets.cmake" ||
  fail "icv::icv has other include directories than <prefix>/include"
"$cmake" --build "$work/cmake-build"
[ "$("$work/cmake-build/icv_consumer")" = "$abc" ] || fail "the consumer built with find_package"
# The version file turns down the next major version.
next=$((${version%%.*} + 1)).0
"$cmake" -S "$consumer" -B "$work/cmake-next" -DICV_VERSION="$next" "${args[@]}" >"$work/next.log" 2>&1 &&
  fail "find_package(icv $next) took version $version"
grep -q "icvConfig.cmake, version: $version\$" "$work/next.log" || fail "find_package(icv $next): $(cat "$work/next.log")"

echo "== consumer through pkg-config"
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
[ "$(pkg-config --modversion icv)" = "$version" ] || fail "pkg-config --modversion icv"
flags=$(pkg-config --cflags --libs icv)
[ "${flags% }" = "-std=c++17 -I$prefix/include -L$prefix/$libdir -licv -pthread" ] || fail "pkg-config --cflags --libs icv: $flags"
# A C++14 project: the flags bring what the headers need.
# shellcheck disable=SC2086  # the flags are words
"$cxx" -std=c++14 -Wall -Wextra -Werror $extra -o "$work/pc-consumer" "$consumer/main.cpp" $flags
[ "$("$work/pc-consumer")" = "$abc" ] || fail "the consumer built with pkg-config"

echo "== Debian packages"
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -C "$config" -B "$work/debs"
for name in icv libicv-dev; do
  deb=$work/debs/${name}_${version}_$(dpkg --print-architecture).deb
  dpkg-deb --contents "$deb" | awk '$6 !~ /\/$/ { print $6 }' | sort >"$work/$name.files"
  dpkg-deb --extract "$deb" "$work/root"
  doc=$work/root/usr/share/doc/$name
  head -1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' &&
    grep -qx 'Copyright: .*The icv authors' "$doc/copyright" && grep -qx 'License: BSD-2-Clause' "$doc/copyright" ||
    fail "$name: copyright not machine-readable, or holder or license wrong"
  gzip -dc "$doc/changelog.gz" | head -1 | grep -q "^icv ($version) " || fail "$name: changelog.gz lacks version $version"
done
# Together the installed tree under /usr, man pages gzip'ed, and each package's
# copyright and changelog.gz; icv has the tools' part, libicv-dev the rest.
{ sed 's|^\./|./usr/|; s|\.1$|.1.gz|' "$work/tree"
  printf './usr/share/doc/%s/copyright\n./usr/share/doc/%s/changelog.gz\n' icv icv libicv-dev libicv-dev; } |
  sort >"$work/files"
sort "$work/icv.files" "$work/libicv-dev.files" | diff -u "$work/files" - || fail "files of both packages (- expected, + actual)"
grep -E '^\./usr/(bin|share/man|share/doc/icv)/' "$work/files" | diff -u - "$work/icv.files" || fail "files of icv"
grep -qx "./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/libicv.a" "$work/libicv-dev.files" ||
  fail "libicv-dev: libicv.a is not in the multiarch folder"
grep -qx 'prefix=/usr' "$work/root/usr/$libdir/pkgconfig/icv.pc" || fail "icv.pc: prefix is not /usr"
# The tools link the C++ runtime dynamically; they need nothing of libicv-dev.
depends=$(dpkg-deb --field "$work/debs/icv_${version}_"*.deb Depends)
[[ "$depends" == *libstdc++6* && "$depends" != *libicv* ]] || fail "icv Depends: $depends"
printf abc >"$work/abc"
[ "$(cd "$work" && root/usr/bin/icv_writer -F/opt/abc=abc)" = "/opt/abc=$abc" ] || fail "the packed icv_writer"
(cd "$work/root/usr/share/doc/icv/examples" && "$work/root/usr/bin/icv_writer" -Lfiles.lst | cmp - expected.lst) ||
  fail "the packed icv_writer on the packed example tree of the man pages"

# The packed man pages: no groff warning, a .TH header and a NAME line, and
# every message of the checker, of icv_tree and of the failure report (their
# string literals of ten characters or more that start with a capital letter,
# but for the lines of a usage text).
grep -ohE '"[A-Z][^"]{9,}"' "$source"/src/checker/*.cpp "$source"/src/frontend/{report.h,icv_tree.cpp} |
  grep -vF '\n"' | sed -E 's/^"//; s/ *"$//' | sort -u >"$work/messages"
[ "$(wc -l <"$work/messages")" -ge 10 ] || fail "found only $(wc -l <"$work/messages") messages in the sources"
echo 'Processed: p, Errors: e, NotFound: n, AccessDenied: a, Added: d' >>"$work/messages"
for page in icv_writer icv_check icv_tree; do
  man=$work/root/usr/share/man/man1/$page.1.gz
  gzip -dc "$man" | groff -man -Tutf8 -ww -z 2>&1 | grep . && fail "groff warns about $page.1"
  # One line of plain text, so that messages are found whatever the line breaks.
  gzip -dc "$man" | groff -man -Tutf8 -rHY=0 -P-cbou 2>/dev/null | tr -s ' \n' '  ' >"$work/$page.txt"
  grep -qF "${page^^}(1) " "$work/$page.txt" && grep -qF "$page - " "$work/$page.txt" || fail "$page.1: no .TH or NAME"
done
while IFS= read -r message; do
  grep -qF -- "$message" "$work"/icv_{writer,check,tree}.txt || fail "no man page documents '$message'"
done <"$work/messages"

if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$work"/debs/*.deb || fail "lintian reports errors or warnings"
else
  echo "lintian not installed: the packages are not linted"
fi
