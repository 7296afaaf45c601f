#!/bin/sh
# SPDX-License-Identifier: MIT
# Records every golden case list again into a scratch folder of the build
# tree and compares it both ways with tests/golden/<program>: a case listed
# but not recorded, recorded but not listed, or recorded differently, fails.
# Never writes into tests/golden.
#
# usage: golden_drift_test.sh SOURCE_DIR WORK_DIR DORSIK VARNEL
set -eu
source=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
status=0
for program in dorsik varnel; do
  if [ "$program" = dorsik ]; then binary=$3; else binary=$4; fi
  python3 "$source/scripts/record-golden" "$binary" "$work/$program" \
    "$source/tests/golden/cases/$program.py" > "$work/$program.log" ||
    { cat "$work/$program.log" >&2; exit 1; }
  if ! diff -r "$source/tests/golden/$program" "$work/$program" > "$work/$program.diff"; then
    echo "golden drift: tests/golden/$program differs from its list, re-recorded:" >&2
    head -40 "$work/$program.diff" >&2
    status=1
  fi
done
[ "$status" = 0 ] && echo "golden drift: none"
exit "$status"
