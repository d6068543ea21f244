#!/usr/bin/env bash
# GUI test of the Windows program: runs the conversion dialog under wine on a
# virtual X display (Xvfb), drives it with the keyboard (xdotool) and looks at
# it from outside with a small Windows probe (tools/gui/dialog_probe.cpp).
# Keeps a screenshot of the dialog in docs/dialog.png.
#
#   tools/windows-gui-test.sh [build dir, default build-win]
#
# Installs the Debian packages it needs. Prints PASS/FAIL per check and exits
# non-zero when a check fails.
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build=${1:-build-win}
t0=$(date +%s)

need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xdotool >/dev/null || need+=(xdotool)
command -v import >/dev/null || need+=(imagemagick)
command -v xwininfo >/dev/null || need+=(x11-utils)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
command -v wine >/dev/null || need+=(wine wine64)
if [ ${#need[@]} -gt 0 ]; then
  echo "gui-test: installing ${need[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEKCONV_WERROR=ON >/dev/null
fi
cmake --build "$build" -j2 --target vekconv make_sample >/dev/null || { echo "FAIL: build"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vekgui-XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=
vek_pid=
cleanup() {
  [ -n "$vek_pid" ] && kill "$vek_pid" 2>/dev/null
  wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  if [ "${failed:-1}" = 0 ]; then rm -rf "$work"; else echo "gui-test: files kept in $work"; fi
}
trap cleanup EXIT

# A display of our own.
display=99
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
# Wine draws the title bars itself: there is no window manager on the display.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1

x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -municode -static \
  -o "$work/dialog_probe.exe" tools/gui/dialog_probe.cpp -luser32 -lgdi32 || { echo "FAIL: probe build"; exit 1; }
probe() { wine "$work/dialog_probe.exe" "$@" 2>/dev/null | tr -d '\r'; }

failed=0
pass() { echo "PASS  $1"; }
fail() { echo "FAIL  $1"; failed=1; }
check() { local name=$1; shift; if "$@"; then pass "$name"; else fail "$name"; fi; }
winpath() { echo "Z:${1//\//\\}"; }
wait_for() {  # seconds, command...
  local limit=$1; shift
  local end=$(($(date +%s) + limit))
  while [ "$(date +%s)" -lt "$end" ]; do "$@" && return 0; sleep 0.3; done
  return 1
}

# A sample old installation: the data folder is ROOT/Zelk/Vek, drive C: is ROOT.
root=$work/root
mkdir -p "$root"
wine "$build/make_sample.exe" "$(winpath "$root")" --members 50 >"$work/sample.log" 2>&1 || { fail "sample installation"; exit 1; }
data=$root/Zelk/Vek
conf_size() { stat -c %s "$data/Conf10.dat" 2>/dev/null || echo missing; }
check "sample has Conf10.dat of 285 bytes" test "$(conf_size)" = 285

wine "$build/vekconv.exe" --drive-c "$(winpath "$root")" -C "$(winpath "$root")" >"$work/vekconv.log" 2>&1 &
vek_pid=$!

# The dialog's X window: titled like the zero-size main window, but not empty.
dialog_xid() {
  local id
  for id in $(xdotool search --name '^Glebrium 5\.61$' 2>/dev/null); do
    [ "$(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{print $2}')" -gt 10 ] 2>/dev/null && { echo "$id"; return 0; }
  done
  return 1
}
box_xid() { xdotool search --name '^Glebrium$' 2>/dev/null | head -1 | grep .; }
key() {  # X window, keys...
  local id=$1; shift
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key --delay 50 "$@"
}

if ! wait_for 60 dialog_xid >/dev/null; then
  fail "dialog window \"Glebrium 5.61\" appears"
  cat "$work/vekconv.log"
  exit 1
fi
xid=$(dialog_xid)
pass "dialog window \"Glebrium 5.61\" appears"

expected=$(cat <<'EOF'
dialog style=94c80084 client=180x66 owner=MyWin "Glebrium 5.61" 0x0
250 Static style=50020000 ex=4 10,15,30,10 "Pasta:"
150 Static style=50031200 ex=20004 40,15,130,10 "C:\Zelk\Vek"
200 Static style=50020000 ex=4 10,27,30,10 "Status:"
100 Static style=50021200 ex=20004 40,27,130,10 ""
300 Button style=50010000 ex=4 10,48,60,11 "&Converter Versões"
2 Button style=50010000 ex=4 71,48,40,11 "&Fechar"
500 Button style=50010001 ex=4 0,0,0,0 ""
350 Button style=50010007 ex=4 5,5,170,36 ""
400 ListBox style=50000003 ex=204 0,0,0,0 ""
401 ListBox style=50000003 ex=204 0,0,0,0 ""
tab order: 150 300 2 500 350
EOF
)
controls=$(probe controls)
if [ "$controls" = "$expected" ]; then
  pass "controls: ids, classes, styles, rectangles (dialog units), texts, tab order"
else
  fail "controls: ids, classes, styles, rectangles (dialog units), texts, tab order"
  diff <(echo "$expected") <(echo "$controls") | sed 's/^/      /'
fi

sleep 0.5
mkdir -p docs
# Without the dates ImageMagick writes, so that an unchanged dialog leaves the file unchanged.
import -window "$xid" "$work/dialog.png" 2>/dev/null && convert "$work/dialog.png" -strip docs/dialog.png
colours=$(convert docs/dialog.png -format %k info: 2>/dev/null || echo 0)
check "screenshot docs/dialog.png ($colours colours)" test "$colours" -gt 4

check "focus starts on the folder line (150)" test "$(probe focus)" = 150
focus_walk=
for _ in 1 2 3 4; do
  key "$xid" Return
  sleep 0.5
  focus_walk="$focus_walk $(probe focus)"
done
check "Enter moves the focus: 150 ->$focus_walk (300 2 500 350)" test "$focus_walk" = " 300 2 500 350"
check "Enter never converts: no message box, Conf10.dat still 285 bytes" \
  test "$(conf_size)" = 285 -a -z "$(box_xid)"

# The Convert button by its access key.
key "$xid" alt+c
if wait_for 180 box_xid >/dev/null; then
  pass "closing message box \"Glebrium\" appears"
  sleep 0.5
  box=$(probe box Glebrium)
  check "closing message: owned by the dialog, information icon, text" \
    test "$box" = 'owner=#32770 "Glebrium 5.61" icon=information text="A conversão foi realizada."'
  [ "$box" = 'owner=#32770 "Glebrium 5.61" icon=information text="A conversão foi realizada."' ] || echo "      got: $box"
  check "status line empty after the conversion" grep -q '^100 Static .* ""$' <(probe controls)
  key "$(box_xid)" Return
  check "message box answered" wait_for 10 bash -c '! xdotool search --name "^Glebrium\$" >/dev/null 2>&1'
else
  fail "closing message box \"Glebrium\" appears"
fi

check "converted: F10R4.DAT written" test -s "$data/F10R4.DAT"
# Retired files go to the user's temporary folder under Zelk\Vek (the wine
# prefix's, which is the program's real drive C:).
temp=$(find "$WINEPREFIX/drive_c/users" -type d -path '*/Temp/Zelk/Vek' 2>/dev/null | head -1)
check "converted: Conf10.dat (widened to 665 bytes) moved to ${temp#$WINEPREFIX/}" \
  test -n "$temp" -a "$(conf_size)" = missing -a "$(stat -c %s "$temp/Conf10.dat" 2>/dev/null)" = 665
check "converted: F10R2.DAT moved to the temporary folder" test -n "$temp" -a -f "$temp/F10R2.DAT" -a ! -e "$data/F10R2.DAT"

key "$xid" Escape
if wait_for 30 bash -c "! kill -0 $vek_pid 2>/dev/null"; then
  wait "$vek_pid"
  rc=$?
  vek_pid=
  check "Escape closes the program, exit code 0 (got $rc)" test "$rc" = 0
else
  fail "Escape closes the program"
fi

echo "gui-test: $(($(date +%s) - t0)) s"
if [ "$failed" = 0 ]; then echo "gui-test: PASS"; else echo "gui-test: FAIL"; cat "$work/vekconv.log"; fi
exit "$failed"
