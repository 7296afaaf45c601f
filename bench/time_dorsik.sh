#!/bin/sh
# Times dorsik on a generated 100 MB configuration file (and one with 1 MB
# lines) and reports MB/s and peak memory; medians of five runs.
# usage: bench/time_dorsik.sh [BUILD_DIR]   (default build/release)
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
dorsik="$build/dorsik/dorsik"
data="$root/bench/data"
mkdir -p "$data"
[ -x "$dorsik" ] || { echo "build first: make release" >&2; exit 1; }
[ -f "$data/conf100.txt" ] || python3 "$root/bench/make_conf.py" 100 "$data/conf100.txt"
[ -f "$data/conf100-long.txt" ] || python3 "$root/bench/make_conf.py" 100 "$data/conf100-long.txt" 1024

measure() {  # file switch
  size=$(stat -c %s "$1")
  for i in 1 2 3 4 5; do
    /usr/bin/time -f "%e %M" -o "$data/time.txt" "$dorsik" $2 "$1" "$data/out.xml" > /dev/null
    cat "$data/time.txt"
  done | sort -n | sed -n 3p | awk -v size="$size" -v name="$(basename "$1") $2" \
    '{ printf "%-28s %7.1f MB/s  peak %6.1f MB  (median of 5: %.2f s)\n", name, size / 1048576 / $1, $2 / 1024, $1 }'
}
measure "$data/conf100.txt" -xml
measure "$data/conf100.txt" -light
measure "$data/conf100-long.txt" -xml
rm -f "$data/out.xml" "$data/time.txt"
