#!/usr/bin/env bash
# The Windows window program's own arguments under wine on a virtual X display (Xvfb): --help and
# --version answer in a message box titled "Zestrel Cookbook Upgrade" and open no main window, and
# end with 0 once the box is closed; an unknown option ("--frob") is never taken for a cookbook: a
# box says so and the program ends with 2.
#   drive_windows_arguments.sh BUILD_DIR
# Exit 77 (skipped) when wine, Xvfb or xdotool is missing.
set -euo pipefail
build="$(cd "$1" && pwd)"
for tool in wine Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done

source "$(dirname "$0")/virtual_display.sh"
makeWorkFolder
startVirtualDisplay "$work"
export WINEDEBUG=-all

status=0
# check ARGUMENT EXIT_STATUS: the box comes up, no main window does, Enter closes it, the status is right.
check() {
  (cd "$work" && exec wine "$build/bin/zestrel-upgrade.exe" "$1") &
  local app=$!
  local box
  if ! box="$(waitFor "Zestrel Cookbook Upgrade" 60)"; then
    echo "$1: no message box"; status=1; kill "$app" 2>/dev/null || true; wineserver -k || true; return
  fi
  sleep 1
  if xdotool search --onlyvisible --name "^Zestrel - Cookbook Upgrade Utility\$" >/dev/null 2>&1; then
    echo "$1: the main window opened"; status=1
  fi
  xdotool windowfocus --sync "$box"
  xdotool key Return
  local code=0
  wait "$app" || code=$?
  if [ "$code" -ne "$2" ]; then echo "$1: ended with $code, not $2"; status=1; fi
  if ls "$work"/*.rcp >/dev/null 2>&1; then echo "$1: a file was made: $(ls "$work")"; status=1; fi
}
check --help 0
check --version 0
check --frob 2
check --help.rcp 2
[ "$status" -eq 0 ] && echo "--help, --version and unknown options answered in a box; no window, no file"
exit "$status"
