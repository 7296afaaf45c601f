#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs a build into a scratch prefix, checks what was installed, then
# builds examples/lookup against the installed package, with CMake and with
# pkg-config (where it is present), and runs it on the installed dorsik's
# output as well as on its own sample file.
#
# usage: install_test.sh CMAKE BUILD_DIR SOURCE_DIR CXX [FLAGS]
#   FLAGS: compiler and linker flags the example needs to link the installed
#   libraries (the sanitizer flags of a sanitizer build).
set -eu
cmake=$1 build=$2 source=$3 cxx=$4 flags=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() {
  echo "install test: $*" >&2
  exit 1
}

"$cmake" --install "$build" --prefix "$prefix" > "$work/install.log" ||
  { cat "$work/install.log" >&2; fail "cmake --install failed"; }

# The library folder is lib or lib/<multiarch>, whichever the build chose.
pc=$(find "$prefix" -name varnel.pc)
[ -n "$pc" ] || fail "no varnel.pc installed"
libdir=$(dirname "$(dirname "$pc")")
for f in bin/dorsik bin/varnel share/man/man1/dorsik.1.gz share/man/man1/varnel.1.gz \
         include/varnel/runtime/text.h include/varnel/runtime/files.h \
         include/varnel/tree/dom.h include/varnel/tree/loader.h include/varnel/tree/search.h; do
  [ -f "$prefix/$f" ] || fail "$f not installed"
done
for f in libvarnel_runtime.a libvarnel_tree.a cmake/varnel/varnelConfig.cmake \
         cmake/varnel/varnelConfigVersion.cmake cmake/varnel/varnelTargets.cmake; do
  [ -f "$libdir/$f" ] || fail "$f not installed below $libdir"
done

# Each installed header compiles on its own; the detail headers that only
# the tests and the programs use are not installed.
for h in $(cd "$prefix/include/varnel" && find . -name '*.h' | sort); do
  printf '#include "%s"\n' "${h#./}" > "$work/alone.cpp"
  # shellcheck disable=SC2086
  "$cxx" -std=c++17 $flags -fsyntax-only -I"$prefix/include/varnel" "$work/alone.cpp" ||
    fail "$h does not compile on its own"
done
for h in runtime/detail/xml_escape_steps.h runtime/detail/option_line_bytes.h \
         runtime/detail/driver.h; do
  [ ! -e "$prefix/include/varnel/$h" ] || fail "$h is installed"
done

# The installed dorsik makes a document for the example to read.
cp "$source/examples/settings.conf" "$work/"
(cd "$work" && "$prefix/bin/dorsik" -xml settings.conf > /dev/null) || fail "installed dorsik failed"

expect() {  # expect PROGRAM FILE KEY VALUE
  got=$("$1" "$2" "$3") || fail "$1 $2 $3 failed"
  [ "$got" = "$4" ] || fail "$1 $2 $3 printed '$got', not '$4'"
}

"$cmake" -S "$source/examples/lookup" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  > "$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; fail "find_package(varnel) failed"; }
"$cmake" --build "$work/cmake-build" > "$work/build.log" 2>&1 ||
  { cat "$work/build.log" >&2; fail "the example did not build against the package"; }
lookup=$work/cmake-build/lookup
expect "$lookup" "$source/examples/lookup/config.xml" port 8080
expect "$lookup" "$source/examples/lookup/config.xml" timeout 30
expect "$lookup" "$work/settings.xml" name General

if command -v pkg-config > /dev/null 2>&1; then
  # shellcheck disable=SC2046,SC2086
  "$cxx" -std=c++17 $flags -o "$work/lookup-pc" "$source/examples/lookup/lookup.cpp" \
    $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs varnel) ||
    fail "the example did not build with pkg-config"
  expect "$work/lookup-pc" "$source/examples/lookup/config.xml" port 8080
else
  echo "install test: pkg-config not found, its build skipped"
fi
echo "install test: passed"
