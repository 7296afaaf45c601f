#!/bin/sh
# Builds the Debian package of a build with CPack, checks its control fields
# and files, unpacks it into a scratch root with dpkg -x and runs both
# programs from there.
#
# usage: package_test.sh CPACK BUILD_DIR VERSION
# Exits with 77, which CTest counts as skipped, where the dpkg tools are
# missing: a host without them can build no Debian package.
set -eu
cpack=$1 build=$2 version=$3
if ! command -v dpkg > /dev/null 2>&1 || ! command -v dpkg-deb > /dev/null 2>&1; then
  echo "package test: dpkg not found, skipped"
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
deb=$(echo "$work"/out/*.deb)
[ -f "$deb" ] || fail "not one .deb made: $deb"
fields=$(dpkg-deb -f "$deb" Package Version Depends)
case $fields in
  *"Package: varnel"*"Version: $version"*"Depends: "*libexpat1*) ;;
  *) fail "control fields: $fields" ;;
esac

dpkg -x "$deb" "$work/root"
usr=$work/root/usr
libdir=$(dirname "$(dirname "$(find "$usr" -name varnel.pc)")")
for f in bin/dorsik bin/varnel share/man/man1/dorsik.1 share/man/man1/varnel.1 \
         include/varnel/runtime/text.h include/varnel/tree/dom.h; do
  [ -f "$usr/$f" ] || fail "$f not in the package"
done
for f in libvarnel_runtime.a libvarnel_tree.a cmake/varnel/varnelConfig.cmake; do
  [ -f "$libdir/$f" ] || fail "$f not below ${libdir#"$work/root"}"
done

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
echo "package test: passed"
