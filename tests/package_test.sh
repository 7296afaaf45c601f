#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the Debian packages of a build with CPack, unpacks both with dpkg -x
# into a scratch root, runs both programs from there, builds the example
# program against the unpacked development files, and runs lintian.
#
# usage: package_test.sh CPACK BUILD_DIR VERSION INSTALL_PREFIX SOURCE_DIR CXX
# Exits with 77, which CTest counts as skipped, where the dpkg tools are
# missing, or where the build was not configured for /usr, as packages are.
set -eu
cpack=$1 build=$2 version=$3 prefix=$4 source=$5 cxx=$6
if ! command -v dpkg > /dev/null 2>&1 || ! command -v dpkg-deb > /dev/null 2>&1; then
  echo "package test: dpkg not found, skipped"
  exit 77
fi
if [ "$prefix" != /usr ]; then
  echo "package test: the build installs below $prefix, not /usr: skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "package test: $*" >&2
  exit 1
}

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
programs=$work/out/varnel_${version}_$(dpkg --print-architecture).deb
dev=$work/out/libvarnel-dev_${version}_$(dpkg --print-architecture).deb
[ -f "$programs" ] && [ -f "$dev" ] || fail "not the two packages: $(ls "$work/out")"

dpkg -x "$programs" "$work/root"
dpkg -x "$dev" "$work/root"
usr=$work/root/usr
for program in dorsik varnel; do
  got=$("$usr/bin/$program" --version) && [ "$got" = "$program $version" ] ||
    fail "$program --version printed '$got'"
done
# Command substitution drops final line feeds, which the expected texts lack too.
got=$(printf '[main]\nk = v\n' | "$usr/bin/varnel" -expand - - 2> /dev/null) &&
  [ "$got" = "$(printf '<title name="main" />\n<option name="k" value="v" active="true" />\n<blank />')" ] ||
  fail "varnel wrote '$got'"
got=$(printf '[main]\nk = v\n' | "$usr/bin/dorsik" -light - 2> /dev/null) &&
  [ "$got" = "$(printf "xml\noptions\n   title name=\"main\" /\n   entry name=\"k\"\n      option value='v'/\n   /entry\n/xml\n/options")" ] ||
  fail "dorsik wrote '$got'"
MANPATH=$usr/share/man man -w varnel > /dev/null 2>&1 || fail "no manual page for varnel"

# The example, built against the unpacked development files with CMake.
cmake -S "$source/examples/lookup" -B "$work/lookup" -DCMAKE_PREFIX_PATH="$usr" \
  -DCMAKE_CXX_COMPILER="$cxx" > "$work/lookup.log" 2>&1 &&
  cmake --build "$work/lookup" >> "$work/lookup.log" 2>&1 ||
  { cat "$work/lookup.log" >&2; fail "the example did not build against libvarnel-dev"; }
got=$("$work/lookup/lookup" "$source/examples/lookup/config.xml" port) && [ "$got" = 8080 ] ||
  fail "the example printed '$got'"

if command -v lintian > /dev/null 2>&1; then
  lintian --fail-on error,warning "$programs" "$dev" > "$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian found errors or warnings"; }
  cat "$work/lintian.log"
else
  fail "lintian not found (Debian: lintian; make test installs it)"
fi
echo "package test: passed"
