#!/usr/bin/env bash
# The floors of the code and whom each may use:
#
#   text/      nothing of ours
#   platform/  nothing of ours; the only floor that calls the system
#   store/     text/, platform/
#   steps/     store/, text/, platform/
#   sample/    store/, text/, platform/ (the generator of old installations)
#   app/       everything below it
#
# This fails on an include that runs up a floor, on a system header outside
# platform/, and on a private header of platform/ (os.h, posix/, windows/)
# included from outside it.
#
#   tools/check-layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A may_use=(
  [text]="text"
  [platform]="platform"
  [store]="store text platform"
  [steps]="steps store text platform"
  [sample]="sample store text platform"
  [app]="app steps sample store text platform"
)
# The Windows dialog draws with the Win32 calls itself: <windows.h> is the one
# system header it may include; its text conversion comes from
# platform/win32_ui.h.
allowed_system='^app/win32_dialog\.cpp:[0-9]+:#include <windows\.h>$'
system_headers='#include <(unistd|fcntl|dirent|signal|windows|io|direct|psapi|shlobj|sys/[a-z_]+)\.h>'

bad=""
for floor in "${!may_use[@]}"; do
  for file in $(find "$floor" -name '*.cpp' -o -name '*.h' | sort); do
    while IFS= read -r line; do
      target=${line#*\"}
      target=${target%%/*}
      case " ${may_use[$floor]} " in
        *" $target "*) ;;
        *) bad+="$file: $line (up a floor: $floor/ may use ${may_use[$floor]})"$'\n' ;;
      esac
    done < <(grep -E '^#include "[a-z_]+/' "$file" || true)
  done
done
outside=$(find app steps sample store text -name '*.cpp' -o -name '*.h' | sort)
if [ -n "$outside" ]; then
  sys=$(grep -nE "$system_headers" $outside | grep -vE "$allowed_system" || true)
  [ -n "$sys" ] && bad+="$sys (a system header outside platform/)"$'\n'
  priv=$(grep -nE '#include "platform/(os\.h|posix/|windows/)' $outside || true)
  [ -n "$priv" ] && bad+="$priv (a private header of platform/)"$'\n'
fi
if [ -n "$bad" ]; then
  echo "check-layers: includes that break the floors:"
  printf '%s' "$bad"
  exit 1
fi
echo "check-layers: every include stays on its floor or below, and only platform/ calls the system"
