#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, checks what was installed,
# then builds and runs the consumer project against it twice: through
# find_package(icv) and through pkg-config.
#
# consumer_test.sh BUILD_DIR CONSUMER_DIR CXX CONFIG VERSION LIBDIR CMAKE [EXTRA_FLAGS]
#   EXTRA_FLAGS: compile and link flags the library was built with that its
#   users need too (the sanitizers of an ICV_SANITIZE build), or empty.
set -euo pipefail

if [ $# -lt 7 ]; then
  echo "usage: $0 BUILD_DIR CONSUMER_DIR CXX CONFIG VERSION LIBDIR CMAKE [EXTRA_FLAGS]" >&2
  exit 2
fi
build=$1 consumer=$2 cxx=$3 config=$4 version=$5 libdir=$6 cmake=$7 extra=${8:-}

if ! command -v pkg-config >/dev/null; then
  echo "FAIL: pkg-config not found; install the Debian package pkg-config" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/icv-install-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Compares a file with the expected text on standard input.
expect_file() {
  local what=$1 actual=$2
  if ! diff -u - "$actual" >"$work/diff"; then
    cat "$work/diff" >&2
    fail "$what differs from the expected text (- expected, + actual)"
  fi
}

echo "== install into $prefix"
"$cmake" --install "$build" --prefix "$prefix" --config "$config" >"$work/install.log" ||
  { cat "$work/install.log" >&2; fail "cmake --install"; }

# Exactly these files: the tools, the library, the public headers (and only the
# internal ones they need), the CMake package, pkg-config file and man pages.
(cd "$prefix" && find . ! -type d | sort) >"$work/tree"
sort >"$work/tree.expected" <<EOF
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
expect_file "installed tree" "$work/tree" <"$work/tree.expected"

# The installed tools run and print their usage.
set +e
"$prefix/bin/icv_check" 2>"$work/usage"
status=$?
set -e
[ "$status" -eq 1 ] || fail "icv_check without arguments exited with $status, not 1"
grep -q "^Usage: $prefix/bin/icv_check " "$work/usage" || fail "icv_check usage text"

# What the consumer must print, whichever way it was built.
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
  local what=$1 program=$2
  mkdir "$work/run-$what"
  (cd "$work/run-$what" && "$program") >"$work/out-$what" ||
    fail "the consumer built with $what failed"
  expect_file "output of the consumer built with $what" "$work/out-$what" <"$work/expected"
  echo "== consumer built with $what: output as expected"
}

echo "== consumer through find_package(icv $version)"
cmake_args=(-DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$config"
  -DCMAKE_CXX_FLAGS="${CXXFLAGS:-} $extra" -DCMAKE_EXE_LINKER_FLAGS="$extra"
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
"$cmake" -S "$consumer" -B "$work/cmake-build" -DICV_VERSION="$version" "${cmake_args[@]}" \
  >"$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; fail "consumer configure"; }
grep -qx "icv_DIR:PATH=$prefix/$libdir/cmake/icv" "$work/cmake-build/CMakeCache.txt" ||
  fail "find_package(icv) did not take the package from $prefix"
"$cmake" --build "$work/cmake-build" >"$work/build.log" 2>&1 ||
  { cat "$work/build.log" >&2; fail "consumer build with find_package"; }
run_consumer find_package "$work/cmake-build/icv_consumer"

# The version file turns down a later major version.
major=${version%%.*}
if "$cmake" -S "$consumer" -B "$work/cmake-build-next" -DICV_VERSION="$((major + 1)).0" \
  "${cmake_args[@]}" >"$work/configure-next.log" 2>&1; then
  fail "find_package(icv $((major + 1)).0) accepted version $version"
fi
grep -q "cmake/icv/icvConfig.cmake, version: $version\$" "$work/configure-next.log" ||
  { cat "$work/configure-next.log" >&2; fail "find_package(icv $((major + 1)).0) failed for another reason"; }

echo "== consumer through pkg-config"
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
[ "$(pkg-config --modversion icv)" = "$version" ] || fail "pkg-config --modversion icv"
flags=$(pkg-config --cflags --libs icv)
flags=${flags% }
[ "$flags" = "-I$prefix/include -I$prefix/include/icv -L$prefix/$libdir -licv -pthread" ] ||
  fail "pkg-config --cflags --libs icv gave: $flags"
# shellcheck disable=SC2086  # the flags are words
"$cxx" -std=c++17 -Wall -Wextra -Werror $extra -o "$work/pc-consumer" "$consumer/main.cpp" $flags \
  >"$work/pc-build.log" 2>&1 || { cat "$work/pc-build.log" >&2; fail "consumer build with pkg-config"; }
run_consumer pkg-config "$work/pc-consumer"
