#!/usr/bin/env bash
# Builds the packages and checks what a user would get from them.
#
#   tools/package-check.sh [Linux build dir, default build-pkg] [Windows build dir, default build-win]
#
# Linux: configures a release tree, makes vekconv_<version>_<arch>.deb with
# `cpack -G DEB`, checks its file list and control fields, unpacks it into a
# temporary root and runs the unpacked program (--version, --help, demo).
#
# Windows: the zip is made from the cross build,
#   tools/windows-ci.sh build-win          (or configure build-win with cmake/mingw-w64.cmake)
#   (cd build-win && cpack -G ZIP)         -> vekconv-<version>-win64.zip
# When the Windows build dir exists, this script makes the zip there and
# checks its contents; otherwise it says that it skipped it.
#
# Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-pkg}
winbuild=${2:-build-win}

fail() {
  echo "package-check: FAIL: $*" >&2
  exit 1
}
for tool in cmake cpack dpkg-deb dpkg gzip groff; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vekpkg-XXXXXX")
trap 'rm -rf "$work"' EXIT

cache_value() {  # cache_value BUILD NAME
  sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}

# Compares the lines of two texts, showing the difference on failure.
same_lines() {  # same_lines WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    diff <(echo "$2") <(echo "$3") >&2 || true
    fail "$1 differs from what is expected (< expected, > actual)"
  fi
}

# ---- Linux ------------------------------------------------------------------

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEKCONV_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
version=$(cache_value "$build" CMAKE_PROJECT_VERSION)
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
arch=$(dpkg --print-architecture)
deb=$build/vekconv_${version}_${arch}.deb
rm -f "$build"/vekconv_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
[ -f "$deb" ] || fail "cpack did not make $deb"
echo "package-check: made $deb ($(stat -c %s "$deb") bytes)"

# Exactly the program and its documents, nothing from the build tree.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}' | sort)
same_lines "file list of the .deb" "$(sort <<EOF
-rw-r--r-- root/root ./usr/share/doc/vekconv/README.md
-rw-r--r-- root/root ./usr/share/doc/vekconv/copyright
-rw-r--r-- root/root ./usr/share/man/man1/vekconv.1.gz
-rwxr-xr-x root/root ./usr/bin/vekconv
EOF
)" "$files"

info=$(dpkg-deb -I "$deb")
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vekconv ] || fail "Package field: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version field $(field Version), project version $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture field: $(field Architecture)"
[ "$(field Maintainer)" = "vekconv team <support@vekconv.example>" ] || fail "Maintainer field: $(field Maintainer)"
depends=$(field Depends)
depends_names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
for lib in libc6 libstdc++6 libncursesw6; do
  grep -qxF "$lib" <<<"$depends_names" || fail "Depends lacks $lib: $depends"
done
grep -q '^ Description: upgrades Glebrium data folders' <<<"$info" || fail "no description in: $info"

root=$work/root
dpkg -x "$deb" "$root"
program=$root/usr/bin/vekconv
[ "$("$program" --version)" = "vekconv $version" ] || fail "--version says: $("$program" --version)"
help=$("$program" --help) || fail "--help exits non-zero"
for word in convert demo --drive-c; do
  grep -q -- "$word" <<<"$help" || fail "--help does not mention $word"
done
# The manual page renders without a warning.
man_warnings=$(gzip -dc "$root/usr/share/man/man1/vekconv.1.gz" | groff -man -ww -z 2>&1)
[ -z "$man_warnings" ] || fail "the manual page: $man_warnings"
# The unpacked program converts a sample installation on its own.
mkdir "$work/tmp"
demo=$(cd "$work" && TMPDIR=$work/tmp "$program" demo "$work/demo" 2>&1) || {
  echo "$demo" >&2
  fail "vekconv demo from the package failed"
}
grep -q 'A convers.*o foi realizada\.' <<<"$demo" || fail "vekconv demo did not finish the conversion: $demo"
[ -s "$work/demo/Zelk/Vek/CONV.DAT" ] || fail "vekconv demo left no conversion log"
echo "package-check: the .deb installs vekconv $version, its manual page and documents; the program runs"

# ---- Windows ----------------------------------------------------------------

if [ ! -f "$winbuild/CMakeCache.txt" ]; then
  echo "package-check: skipped the Windows zip: no cross build in $winbuild" \
       "(tools/windows-ci.sh $winbuild, then cpack -G ZIP there)"
  exit 0
fi
command -v unzip >/dev/null || fail "unzip is not installed"
winversion=$(cache_value "$winbuild" CMAKE_PROJECT_VERSION)
zip=$winbuild/vekconv-${winversion}-win64.zip
rm -f "$winbuild"/vekconv-*.zip
cmake "$winbuild" >/dev/null
(cd "$winbuild" && cpack -G ZIP >/dev/null)
[ -f "$zip" ] || fail "cpack did not make $zip"
echo "package-check: made $zip ($(stat -c %s "$zip") bytes)"
top=vekconv-${winversion}-win64
entries=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
same_lines "file list of the zip" "$(sort <<EOF
$top/COPYRIGHT.txt
$top/README.txt
$top/vekconv.exe
$top/vekconv.txt
EOF
)" "$entries"
unzip -q "$zip" -d "$work/win"
head -c 2 "$work/win/$top/vekconv.exe" | grep -q '^MZ' || fail "vekconv.exe is not a Windows program"
for text in COPYRIGHT.txt README.txt vekconv.txt; do
  file=$work/win/$top/$text
  # Every line ends in CR LF, and the text reads as cp1252.
  if grep -q $'[^\r]$\|^$' "$file"; then fail "$text has a line without CR LF"; fi
  iconv -f CP1252 -t UTF-8 "$file" >/dev/null || fail "$text is not cp1252"
done
iconv -f CP1252 -t UTF-8 "$work/win/$top/vekconv.txt" | grep -q 'Converter Versões' ||
  fail "vekconv.txt lost its accented letters"
echo "package-check: the zip holds vekconv.exe, README.txt, vekconv.txt and COPYRIGHT.txt in cp1252 with CR LF"
