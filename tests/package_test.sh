#!/bin/sh
# Builds the Debian package of a build with CPack, checks its control fields
# and contents, unpacks it into a scratch root with dpkg -x and runs both
# programs from there.
#
# usage: package_test.sh CPACK BUILD_DIR VERSION
# Exits with 77, which CTest counts as skipped, where the dpkg tools are
# missing: a host without them can build no Debian package.
set -eu
cpack=$1 build=$2 version=$3
skipped=77
for tool in dpkg dpkg-deb; do
  if ! command -v "$tool" > /dev/null 2>&1; then
    echo "package test: $tool not found, skipped"
    exit "$skipped"
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "package test: $*" >&2
  exit 1
}

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
set -- "$work"/out/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "not one .deb made: $*"
deb=$1

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = varnel ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
case $(field Depends) in
  *libexpat1*) ;;
  *) fail "Depends does not name libexpat1: '$(field Depends)'" ;;
esac

dpkg -x "$deb" "$work/root"
usr=$work/root/usr
pc=$(find "$usr" -name varnel.pc)
[ -n "$pc" ] || fail "no varnel.pc in the package"
libdir=$(dirname "$(dirname "$pc")")
for f in "$usr/bin/dorsik" "$usr/bin/varnel" "$usr/share/man/man1/dorsik.1" \
         "$usr/share/man/man1/varnel.1" "$usr/include/varnel/runtime/text.h" \
         "$usr/include/varnel/tree/dom.h" "$libdir/libvarnel_runtime.a" \
         "$libdir/libvarnel_tree.a" "$libdir/cmake/varnel/varnelConfig.cmake"; do
  [ -f "$f" ] || fail "${f#"$work/root"} not in the package"
done

for program in dorsik varnel; do
  got=$("$usr/bin/$program" --version) || fail "$program --version failed"
  [ "$got" = "$program $version" ] || fail "$program --version printed '$got'"
done
# Command substitution drops the final line feeds, which the expected texts lack too.
got=$(printf '[main]\nk = v\n' | "$usr/bin/dorsik" -xml - - 2> /dev/null) || fail "dorsik failed"
expected=$(printf '<?xml version="1.0"?>\n<options>\n   <title name="main" />\n   <entry name="k">\n      <option value=%sv%s/>\n   </entry>\n</options>' "'" "'")
[ "$got" = "$expected" ] || fail "dorsik wrote '$got'"
got=$(printf '[main]\nk = v\n' | "$usr/bin/varnel" -expand - - 2> /dev/null) || fail "varnel failed"
expected=$(printf '<title name="main" />\n<option name="k" value="v" active="true" />\n<blank />')
[ "$got" = "$expected" ] || fail "varnel wrote '$got'"
echo "package test: passed"
