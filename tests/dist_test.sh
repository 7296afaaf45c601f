#!/bin/sh
# SPDX-License-Identifier: MIT
# make dist writes varnel-VERSION.tar.gz holding exactly the committed files,
# under the one top folder varnel-VERSION/. Skipped (77) outside a git
# checkout, such as an unpacked tarball.
#
# usage: dist_test.sh SOURCE_DIR WORK_DIR VERSION
set -eu
source=$1 work=$2 version=$3
if ! git -C "$source" rev-parse --verify -q HEAD > /dev/null 2>&1; then
  echo "dist test: not a git checkout, skipped"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"
make -s -C "$source" dist BUILD="$work" > /dev/null
tarball=$work/varnel-$version.tar.gz
[ -f "$tarball" ] || { echo "dist test: no $tarball" >&2; exit 1; }
tar -tzf "$tarball" | grep -v '/$' | sort > "$work/in-tarball"
git -C "$source" ls-tree -r --name-only HEAD | sed "s|^|varnel-$version/|" | sort > "$work/committed"
if ! diff "$work/committed" "$work/in-tarball" > "$work/diff"; then
  echo "dist test: the tarball differs from the committed files:" >&2
  head -20 "$work/diff" >&2
  exit 1
fi
echo "dist test: passed, $(wc -l < "$work/in-tarball") files"
