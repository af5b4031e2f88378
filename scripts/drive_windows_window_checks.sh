#!/usr/bin/env bash
# The Windows window under wine on a virtual X display, at 96 and at 192 dots per inch (LogPixels in
# a wine prefix of its own): runs windows_window_tests.exe (the icon through WM_GETICON, a file
# dropped with WM_DROPFILES, every caption whole at that density), then starts the window program
# and saves a picture of its window for a person to look at.
#   drive_windows_window_checks.sh BUILD_DIR [PICTURE_FOLDER]
# The pictures go to PICTURE_FOLDER (default BUILD_DIR/window-pictures), one a density:
# windows-window-96dpi.png, windows-window-192dpi.png.
# Exit 77 (skipped) when wine, Xvfb, xdotool or xwd is missing.
set -euo pipefail
build="$(cd "$1" && pwd)"
pictures="${2:-$build/window-pictures}"
root="$(cd "$(dirname "$0")/.." && pwd)"
for tool in wine wineserver Xvfb xdotool xwd xwininfo python3; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed: the Windows window is not tried"; exit 77; }
done

work="$(mktemp -d)"
app=""
xvfb=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  wineserver -k 2>/dev/null || true   # this script's own prefix only
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$root/scripts/virtual_display.sh"
startVirtualDisplay "$work"
# A prefix of its own, so that its density is no other test's; no mono or gecko to fetch, no menu
# entries made in the real home.
export WINEPREFIX="$work/prefix" HOME="$work/home" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME" "$pictures"
wineboot -i >/dev/null 2>&1
wineserver -w

status=0
fail() { echo "$1"; status=1; }
main_caption="Zestrel - Cookbook Upgrade Utility"

for dpi in 96 192; do
  echo "== $dpi dpi"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  wineserver -w   # the next process reads the density anew
  ZESTREL_EXPECTED_DPI="$dpi" wine "$build/bin/windows_window_tests.exe" --gtest_brief=1 ||
    fail "the window's checks failed at $dpi dpi"

  (cd "$work" && exec wine "$build/bin/zestrel-upgrade.exe") &
  app=$!
  if main="$(waitFor "$main_caption" 60)"; then
    sleep 1   # until the window has painted itself
    eval "$(xdotool getwindowgeometry --shell "$main")"
    echo "the window's client area at $dpi dpi: ${WIDTH}x${HEIGHT}"
    xwd -id "$main" -silent > "$work/window.xwd"
    python3 "$root/scripts/xwd_to_png.py" "$pictures/windows-window-${dpi}dpi.png" "$work/window.xwd" 0 0
    echo "saved $pictures/windows-window-${dpi}dpi.png"
    xdotool windowfocus --sync "$main"
    xdotool key alt+F4
  else
    fail "no window at $dpi dpi"
  fi
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then fail "the window did not close at $dpi dpi"; kill "$app" || true; fi
  wait "$app" 2>/dev/null || true
  app=""
  wineserver -w
done
[ "$status" -eq 0 ] && echo "icon, drop and sizes right at 96 and 192 dpi"
exit "$status"
