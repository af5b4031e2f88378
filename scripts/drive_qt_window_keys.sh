#!/usr/bin/env bash
# Drives the Qt window program on a virtual X display (Xvfb, the xcb platform, no window manager)
# with real key presses from xdotool: Alt+B opens the open-file dialog, Alt+U upgrades the cookbook
# given at start, Alt+X closes the window, and in a second run Esc closes it. The upgraded cookbook
# must pass the strict structural check and its backup must be the original.
#   drive_qt_window_keys.sh BUILD_DIR
# Exit 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail
build="$(cd "$1" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed: the access keys are not tried"; exit 77; }
done

source "$root/scripts/virtual_display.sh"
makeWorkFolder
startVirtualDisplay "$work"
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" ZESTREL_PROGRAM_FOLDER="$work/program"
mkdir -m 700 "$XDG_RUNTIME_DIR"
main_caption="Zestrel - Cookbook Upgrade Utility"
status=0
fail() { echo "$1"; status=1; }



cookbook="$work/Family cookbook.rcp"
"$build/bin/zestrel" sample --layout 1.1 --recipes 20 --ingredients-per-recipe 3 "$cookbook" >/dev/null 2>&1
original="$(sha256sum < "$cookbook")"

"$build/bin/zestrel-upgrade" "$cookbook" >"$work/run1.log" 2>&1 &
app=$!
main="$(waitFor "$main_caption" 60)"

# Alt+B: Browse, which shows the open-file dialog; Esc cancels it and changes nothing.
press "$main" alt+b
if dialog="$(waitFor "Open Cookbook" 30)"; then
  press "$dialog" Escape
  waitGone "Open Cookbook" 30 || fail "Esc did not close the open-file dialog"
else
  fail "Alt+B did not open the open-file dialog"
fi

# Alt+U: Upgrade, which asks first (the sample's servings are cut; Enter answers Upgrade) and
# ends with the success box.
press "$main" alt+u
upgradeThroughBoxes "Zestrel Cookbook Upgrade"
version="$("$build/bin/zestrel" version "$cookbook" 2>&1 || true)"
case "$version" in *"version 1.3"*) ;; *) fail "the cookbook was not upgraded: $version" ;; esac
"$build/bin/zestrel" check --strict "$cookbook" >/dev/null || fail "the upgraded cookbook fails the strict check"
backup="$work/program/Backup/Family cookbook_backup.rcp"
if [ ! -f "$backup" ] || [ "$(sha256sum < "$backup")" != "$original" ]; then
  fail "the backup is missing or differs from the original"
fi

# Alt+X: Exit.
press "$main" alt+x
ended || { fail "Alt+X did not close the window"; kill "$app"; app=""; }

# Esc closes the window as its close control does.
"$build/bin/zestrel-upgrade" >"$work/run2.log" 2>&1 &
app=$!
main="$(waitFor "$main_caption" 60)"
press "$main" Escape
ended || { fail "Esc did not close the window"; kill "$app"; app=""; }

[ "$status" -eq 0 ] && echo "Alt+B, Alt+U, Alt+X and Esc work in the window"
exit "$status"
