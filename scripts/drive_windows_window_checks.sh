#!/usr/bin/env bash
# The Windows window under wine on a virtual X display, at 96 and at 192 dots per inch, and at 96
# with a 15-point message font (LogPixels and WindowMetrics in a wine prefix of its own): runs
# windows_window_tests.exe (the icon through WM_GETICON, a file dropped with WM_DROPFILES, every
# caption whole in that font at that density), then starts the window program on a cookbook, saves
# a picture of its window for a person to look at, and presses its access keys and Esc.
#   drive_windows_window_checks.sh BUILD_DIR [PICTURE_FOLDER]
# The pictures go to PICTURE_FOLDER (default BUILD_DIR/window-pictures), one a setting:
# windows-window-96dpi.png, windows-window-192dpi.png, windows-window-96dpi-15pt.png.
# Exit 77 (skipped) when wine, Xvfb, xdotool or xwd is missing.
set -euo pipefail
build="$(cd "$1" && pwd)"
pictures="${2:-$build/window-pictures}"
root="$(cd "$(dirname "$0")/.." && pwd)"
for tool in wine wineserver Xvfb xdotool xwd xwininfo python3; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed: the Windows window is not tried"; exit 77; }
done

source "$root/scripts/virtual_display.sh"
endWineServer() { wineserver -k 2>/dev/null || true; }   # this script's own prefix only
endWorkToo=endWineServer
makeWorkFolder
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
windows() { echo "Z:${1//\//\\}"; }   # wine's drive Z: is the Linux root
export ZESTREL_PROGRAM_FOLDER="$(windows "$work/program")"
# The desktop's message font as Windows keeps it: a LOGFONTW (92 bytes) of this height in pixels
# at 96 dpi, Tahoma, normal weight, the default character set.
messageFont() {
  python3 -c 'import struct, sys
face = "Tahoma".encode("utf-16-le").ljust(64, b"\0")
print((struct.pack("<5i8B", int(sys.argv[1]), 0, 0, 0, 400, 0, 0, 0, 1, 0, 0, 0, 0) + face).hex())' "$1"
}
metrics='HKCU\Control Panel\Desktop\WindowMetrics'

for setting in 96 192 96:15; do
  dpi="${setting%%:*}"
  points="${setting#*:}"; [ "$points" = "$setting" ] && points=""
  name="${dpi}dpi${points:+-${points}pt}"
  echo "== $dpi dpi${points:+, a $points-point message font}"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  font_height=""
  if [ -n "$points" ]; then
    font_height="-$(( points * 96 / 72 ))"
    wine reg add "$metrics" /v MessageFont /t REG_BINARY /d "$(messageFont "$font_height")" /f >/dev/null
  else
    wine reg delete "$metrics" /v MessageFont /f >/dev/null 2>&1 || true
  fi
  wineserver -w   # the next process reads the density and the font anew
  ZESTREL_EXPECTED_DPI="$dpi" ZESTREL_EXPECTED_FONT_HEIGHT="$font_height" \
    wine "$build/bin/windows_window_tests.exe" --gtest_brief=1 || fail "the window's checks failed at $name"

  # The program, opened on a cookbook: the picture shows the longest status text. Then the keys:
  # Alt+B opens the open-file dialog (Esc cancels it), and the window is closed by Alt+X, by an
  # upgrade with Alt+U then Esc, or by Alt+F4.
  cookbook="$work/Zoe's cookbook $name.rcp"
  wine "$build/bin/zestrel.exe" sample --layout 1.1 --recipes 10 --ingredients-per-recipe 3 "$(windows "$cookbook")" >/dev/null 2>&1
  (cd "$work" && exec wine "$build/bin/zestrel-upgrade.exe" "$(windows "$cookbook")") &
  app=$!
  if main="$(waitFor "$main_caption" 60)"; then
    sleep 1   # until the window has painted itself
    eval "$(xdotool getwindowgeometry --shell "$main")"
    echo "the window's client area at $name: ${WIDTH}x${HEIGHT}"
    xwd -id "$main" -silent > "$work/window.xwd"
    python3 "$root/scripts/xwd_to_png.py" "$pictures/windows-window-$name.png" "$work/window.xwd" 0 0
    echo "saved $pictures/windows-window-$name.png"
    press "$main" alt+b
    if dialog="$(waitFor "Open Cookbook" 30)"; then
      press "$dialog" Escape
      waitGone "Open Cookbook" 30 || fail "Esc did not cancel the open-file dialog at $name"
    else
      fail "Alt+B did not open the open-file dialog at $name"
    fi
    case "$setting" in
    96) press "$main" alt+x ;;
    192)
      press "$main" alt+u
      # The sample's servings are cut: the question of the values first (Enter: Upgrade), then
      # the success box.
      upgradeThroughBoxes "Zestrel Cookbook Upgrade"
      version="$(wine "$build/bin/zestrel.exe" version "$(windows "$cookbook")" 2>&1 || true)"
      case "$version" in *"version 1.3"*) ;; *) fail "the cookbook was not upgraded: $version" ;; esac
      wine "$build/bin/zestrel.exe" check --strict "$(windows "$cookbook")" >/dev/null ||
        fail "the upgraded cookbook fails the strict check"
      press "$main" Escape
      ;;
    *) press "$main" alt+F4 ;;
    esac
  else
    fail "no window at $name"
  fi
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then fail "the window did not close (Alt+X, Esc or Alt+F4) at $name"; kill "$app" || true; fi
  wait "$app" 2>/dev/null || true
  app=""
  wineserver -w
done
[ "$status" -eq 0 ] && echo "icon, drop, sizes and keys right at 96 and 192 dpi and with a 15-point font"
exit "$status"
