#!/bin/sh
# SPDX-License-Identifier: MIT
# Times both converters on generated 100 MB inputs and reports throughput and
# peak memory, medians of five runs (elapsed time, and CPU time user+sys).
# usage: bench/time_converters.sh [BUILD_DIR]   (default build/release)
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
data="$root/bench/data"
mkdir -p "$data"
for p in dorsik varnel; do
  [ -x "$build/$p/$p" ] || { echo "build first: make release" >&2; exit 1; }
done
[ -f "$data/conf100.txt" ] || python3 "$root/bench/make_conf.py" 100 "$data/conf100.txt"
[ -f "$data/conf100-long.txt" ] || python3 "$root/bench/make_conf.py" 100 "$data/conf100-long.txt" 1024
[ -f "$data/setup100.ini" ] || python3 "$root/bench/make_ini.py" 100 "$data/setup100.ini"

measure() {  # label, command...
  label="$1"; shift
  size=$(stat -c %s "$source")
  for i in 1 2 3 4 5; do
    # The previous run's output is removed untimed: truncating it is not the conversion's work.
    rm -f "$data/out.xml" "$data/out.lgt" "$data/.tmp"
    (cd "$data" && /usr/bin/time -f "%e %U %S %M" -o "$data/time.txt" "$@" > /dev/null)
    cat "$data/time.txt"
  done | sort -n | sed -n 3p | awk -v size="$size" -v name="$label" '{
    mb = size / 1048576
    printf "%-30s %6.1f MB/s elapsed %6.1f MB/s cpu  peak %7.1f MB  (%.2f s)\n",
           name, mb / $1, mb / ($2 + $3), $4 / 1024, $1 }'
}
source="$data/conf100.txt";      measure "dorsik -xml" "$build/dorsik/dorsik" -xml "$source" out.xml
source="$data/conf100.txt";      measure "dorsik -light" "$build/dorsik/dorsik" -light "$source" out.lgt
source="$data/conf100-long.txt"; measure "dorsik -xml, 1 MB lines" "$build/dorsik/dorsik" -xml "$source" out.xml
source="$data/setup100.ini";     measure "varnel" "$build/varnel/varnel" "$source" out.xml
source="$data/setup100.ini";     measure "varnel -expand" "$build/varnel/varnel" -expand "$source" out.xml
rm -f "$data/out.xml" "$data/out.lgt" "$data/.tmp" "$data/time.txt"
