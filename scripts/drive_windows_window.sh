#!/usr/bin/env bash
# Drives the Windows window program under wine on a virtual X display (Xvfb) through a real
# upgrade, with the keyboard only: Space on Browse, the cookbook's path typed into the open-file
# dialog, Tab Tab Space to Upgrade, Enter on the question of the values it changes (Upgrade),
# Enter on the success box. Then checks the upgraded cookbook and
# its backup, and with a second argument saves pictures of the window with the question and with
# the success box (PICTURE-question.png, PICTURE-success.png).
#   drive_windows_window.sh BUILD_DIR [PICTURE.png]
# Exit 77 (skipped) when wine, Xvfb, xdotool or xwd is missing.
set -euo pipefail
build="$(cd "$1" && pwd)"
picture="${2:-}"
root="$(cd "$(dirname "$0")/.." && pwd)"
for tool in wine Xvfb xdotool xwd xwininfo; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done

source "$root/scripts/virtual_display.sh"
makeWorkFolder
startVirtualDisplay "$work"
export WINEDEBUG=-all
windows() { echo "Z:${1//\//\\}"; }   # wine's drive Z: is the Linux root
export ZESTREL_PROGRAM_FOLDER="$(windows "$work/program")"

cookbook="$work/Family cookbook.rcp"
wine "$build/bin/zestrel.exe" sample --layout 1.1 --recipes 40 --ingredients-per-recipe 5 "$(windows "$cookbook")" >/dev/null
original="$(sha256sum < "$cookbook")"

(cd "$work" && exec wine "$build/bin/zestrel-upgrade.exe") &
app=$!
main="$(waitFor "Zestrel - Cookbook Upgrade Utility" 60)"
xdotool windowfocus --sync "$main"
xdotool key Return                      # Enter presses Browse, which has the focus at start
dialog="$(waitFor "Open Cookbook" 30)"
xdotool windowfocus --sync "$dialog"
xdotool key alt+n
xdotool type --delay 10 "$(windows "$cookbook")"
xdotool key Return
waitGone "Open Cookbook" 30
sleep 0.5
xdotool windowfocus --sync "$main"
xdotool key Tab Tab space               # Browse, the path box, Upgrade
# The sample's servings are cut by the new layout: Upgrade asks first, and Enter answers Upgrade;
# then the success box.
for shown in question success; do
  box="$(waitFor "Zestrel Cookbook Upgrade" 120)"
  sleep 2                               # until the box has painted itself
  if [ -n "$picture" ]; then
    layers=()
    for window in "$main" "$box"; do
      eval "$(xdotool getwindowgeometry --shell "$window")"
      xwd -id "$window" -silent > "$work/$window.xwd"
      layers+=("$work/$window.xwd" "$X" "$Y")
    done
    shot="${picture%.png}-$shown.png"
    python3 "$root/scripts/xwd_to_png.py" "$shot" "${layers[@]}"
    echo "saved $shot"
  fi
  xdotool windowfocus --sync "$box"
  xdotool key Return
  [ "$shown" = question ] && waitGone "Zestrel Cookbook Upgrade" 30 && sleep 1
done
waitGone "Zestrel Cookbook Upgrade" 30

version="$(wine "$build/bin/zestrel.exe" version "$(windows "$cookbook")" 2>&1 || true)"
backup="$work/program/Backup/Family cookbook_backup.rcp"
status=0
case "$version" in *"version 1.3"*) ;; *) echo "the cookbook was not upgraded: $version"; status=1 ;; esac
if [ ! -f "$backup" ] || [ "$(sha256sum < "$backup")" != "$original" ]; then
  echo "the backup is missing or differs from the original"; status=1
fi
wine "$build/bin/zestrel.exe" check "$(windows "$cookbook")" >/dev/null || { echo "the upgraded cookbook fails the check"; status=1; }

xdotool windowfocus --sync "$main"
xdotool key alt+F4
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "the window did not close"; status=1; else app=""; fi
[ "$status" -eq 0 ] && echo "the window upgraded the cookbook; backup and check good"
exit "$status"
