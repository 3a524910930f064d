#!/usr/bin/env bash
# Side-by-side, whole-process comparison of icv with other tools on this machine.
#
#   bench/compare.sh [BUILD_DIR] [RUNS]
#
# Builds nothing: BUILD_DIR (default: build) must hold a Release build. Installs
# the peers when missing (Debian packages rhash, libengine-gost-openssl, time),
# makes its data in a temporary directory, runs every command RUNS times
# (default 5) interleaved, and prints medians of wall time and peak resident
# memory, and the ratios of the peers' times to ours (above 1: we are faster).
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
runs=${2:-5}
for tool in icv_writer icv_check bench/icv_hashfile; do
  [ -x "$build/$tool" ] || { echo "missing $build/$tool: build the project first" >&2; exit 1; }
done

need=()
command -v rhash >/dev/null || need+=(rhash)
[ -x /usr/bin/time ] || need+=(time)
openssl list -providers -provider gostprov >/dev/null 2>&1 || need+=(libengine-gost-openssl)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing ${need[*]}" >&2
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq && $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "making data in $work" >&2
head -c $((512 << 20)) /dev/urandom > big.bin
mkdir small
python3 - <<'PY'
import os, random
random.seed(4000)
with open("small.lst", "w") as lst, open("small.icv", "w") as entries:
    for i in range(4000):
        name = "small/f%04d" % i
        with open(name, "wb") as f:
            f.write(os.urandom(random.randint(1, 65536)))
        lst.write(name + "\n")
        entries.write(name + "=" + name + "\n")  # recorded as read
PY
cat big.bin small/* > /dev/null  # into the page cache

# Hash lists for the checker: one GOST R 34.11-94 and one MD5 line for big.bin.
printf 'big.bin=#GOST3411_RFC4357:%s\n' "$(rhash --gost94-cryptopro -p '%x{gost94-cryptopro}' big.bin)" > gost94.lst
printf 'big.bin=#MD5:%s\n' "$(md5sum big.bin | cut -c1-32)" > md5.lst

names=(); cmds=()
add() { names+=("$1"); cmds+=("$2"); }
add icv_writer_gost12     "$build/icv_writer -Fbig.bin"
add icv_portable_gost12   "$build/bench/icv_hashfile --portable gost12 big.bin"
add openssl_gost12        "openssl dgst -provider gostprov -provider default -md_gost12_256 big.bin"
add rhash_gost12          "rhash --gost12-256 big.bin"
add icv_check_gost94      "$build/icv_check gost94.lst"
add rhash_gost94          "rhash --gost94-cryptopro big.bin"
add icv_check_md5         "$build/icv_check md5.lst"
add md5sum                "md5sum big.bin"
add icv_writer_list       "$build/icv_writer -Lsmall.icv"
add rhash_list            "rhash --gost12-256 --file-list=small.lst"

# Interleaved: every command once per round, so drifts hit all of them alike.
for ((r = 1; r <= runs; r++)); do
  for i in "${!cmds[@]}"; do
    /usr/bin/time -f "%e %M" -o t.out ${cmds[$i]} > /dev/null 2> /dev/null
    echo "${names[$i]} $(cat t.out)" >> results
  done
done

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
declare -A sec rss
for name in "${names[@]}"; do
  sec[$name]=$(awk -v n="$name" '$1==n {print $2}' results | median)
  rss[$name]=$(awk -v n="$name" '$1==n {print $3}' results | median)
done

printf '\n%-22s %10s %12s\n' command "median s" "peak RSS KiB"
for name in "${names[@]}"; do printf '%-22s %10s %12s\n' "$name" "${sec[$name]}" "${rss[$name]}"; done
ratio() { awk -v a="${sec[$2]}" -v b="${sec[$1]}" 'BEGIN {printf "%.2f", a / b}'; }
echo
echo "512 MiB file, GOST R 34.11-2012: openssl / icv_writer = $(ratio icv_writer_gost12 openssl_gost12)x, rhash / icv_writer = $(ratio icv_writer_gost12 rhash_gost12)x"
echo "512 MiB file, table-driven path only: openssl / icv = $(ratio icv_portable_gost12 openssl_gost12)x"
echo "512 MiB file, GOST R 34.11-94: rhash / icv_check = $(ratio icv_check_gost94 rhash_gost94)x"
echo "512 MiB file, MD5: md5sum / icv_check = $(ratio icv_check_md5 md5sum)x"
echo "4000 files of 1 B..64 KiB: rhash --file-list / icv_writer -L = $(ratio icv_writer_list rhash_list)x"
