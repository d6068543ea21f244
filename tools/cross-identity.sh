#!/usr/bin/env bash
# Converts the same sample installation with the Linux program and with the
# Windows program under wine, and compares the two data folders byte for byte.
#
#   tools/cross-identity.sh [LINUX_BUILD, default build] [WINDOWS_BUILD, default build-win]
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build}
windows=${2:-build-win}
for f in "$linux/vekconv" "$linux/make_sample" "$windows/vekconv.exe"; do
  [ -f "$f" ] || { echo "cross-identity: missing $f" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vekconv-cross-XXXXXX")
. tools/wine-prefix.sh
start_wine_prefix "$work/wine" "$work"

"$linux/make_sample" "$work/sample" --members 300 --seed 11 >/dev/null
cp -a "$work/sample" "$work/linux"
# The data folder and %TEMP% on one volume (drive C:), as on a usual Windows
# machine and as TMPDIR on Linux: retired folders move there by rename.
wincopy="$WINEPREFIX/drive_c/vekcross"
cp -a "$work/sample" "$wincopy"
mkdir -p "$work/linux-tmp"
# The date the conversion takes for today is fixed, so both raise the same due entries.
export VEKCONV_TODAY=2011-03-01
TMPDIR="$work/linux-tmp" "$linux/vekconv" convert --drive-c "$work/linux" -C "$work/linux" >/dev/null 2>&1
wine "$windows/vekconv.exe" convert --drive-c 'C:\vekcross' -C 'C:\vekcross' >/dev/null 2>&1
wintemp="$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/Temp"

files=$(find "$work/linux/Zelk/Vek" "$work/linux-tmp/Zelk/Vek" -type f | wc -l)
if diff -r "$work/linux/Zelk/Vek" "$wincopy/Zelk/Vek" >"$work/diff" 2>&1 &&
   diff -r "$work/linux-tmp/Zelk/Vek" "$wintemp/Zelk/Vek" >>"$work/diff" 2>&1; then
  echo "cross-identity: PASS ($files files of the converted data folder and the retired files identical on Linux and Windows)"
else
  head -20 "$work/diff"
  echo "cross-identity: FAIL"
  exit 1
fi
