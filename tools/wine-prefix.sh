# Sourced by the scripts that run the Windows program under wine:
#
#   start_wine_prefix PREFIX [FOLDER]
#
# makes a wine prefix of our own in PREFIX and throws FOLDER (default: the
# prefix) away when the script exits. No display: console programs only.
start_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  vek_wine_trash=${2:-$1}
  unset DISPLAY
  trap 'wineserver -k 2>/dev/null || true; rm -rf "$vek_wine_trash"' EXIT
  wineboot -i >/dev/null 2>&1 || true
}
