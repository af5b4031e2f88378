#!/usr/bin/env bash
# Drives the Qt window program on a virtual X display (Xvfb, the xcb platform, no window manager)
# through the questions it asks, with real key presses from xdotool: Upgrade on a cookbook whose
# copy changes values asks first; Esc cancels and nothing changes; Alt+S shows the list in the
# desktop's viewer (a stand-in xdg-open records what it is given) and the question comes back;
# Enter upgrades; the success box's Alt+S shows the backup's folder. Then a close (Esc) during a
# long upgrade asks whether to stop, and Alt+S stops it: the cookbook is as it was, no tempdb.mdb
# is left and the window closes. Pictures of the boxes go to PICTURES when it is given.
#   drive_qt_window_preview.sh BUILD_DIR [PICTURES]
# Exit 77 (skipped) when Xvfb, xdotool or xwd is missing.
set -euo pipefail
build="$(cd "$1" && pwd)"
pictures="${2:-}"
root="$(cd "$(dirname "$0")/.." && pwd)"
for tool in Xvfb xdotool xwd; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed: the questions are not tried"; exit 77; }
done

source "$root/scripts/virtual_display.sh"
makeWorkFolder
startVirtualDisplay "$work"
# No file manager on a bus that is not there: the backup's folder is opened as an address.
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" ZESTREL_PROGRAM_FOLDER="$work/program"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" XDG_CURRENT_DESKTOP=""
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir "$work/bin"
cat > "$work/bin/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$1" >> "$work/opened"
SCRIPT
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"
main_caption="Zestrel - Cookbook Upgrade Utility"
box_caption="Zestrel Cookbook Upgrade"
status=0
fail() { echo "$1"; status=1; }



# The window and the box over it, as one picture.
picture() {
  [ -n "$pictures" ] || return 0
  mkdir -p "$pictures"
  sleep 1  # until the box has painted itself
  local layers=()
  for window in "$main" "$2"; do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xwd -id "$window" -silent > "$work/$window.xwd"
    layers+=("$work/$window.xwd" "$X" "$Y")
  done
  python3 "$root/scripts/xwd_to_png.py" "$pictures/$1.png" "${layers[@]}"
}

# Two of three recipes change: a serving cut to Yield, an amount cut.
cat > "$work/recipes.jsonl" <<'ROWS'
{"Name": "Soup", "Serving": "12 servings", "rID": "1"}
{"Name": "Stew", "rID": "2"}
{"Name": "Bread", "rID": "3"}
ROWS
cat > "$work/ingredients.jsonl" <<'ROWS'
{"Name": "Salt", "Amt": "a heaped handful of it", "rID": "2"}
{"Name": "Flour", "Amt": "2", "rID": "3"}
ROWS
cookbook="$work/Family cookbook.rcp"
"$build/bin/zestrel" sample --layout 1.1 --recipe-rows "$work/recipes.jsonl" \
  --ingredient-rows "$work/ingredients.jsonl" "$cookbook" >/dev/null 2>&1
original="$(sha256sum < "$cookbook")"
question="The new layout will shorten or change 2 values in 2 recipes."

"$build/bin/zestrel-upgrade" "$cookbook" >"$work/run1.log" 2>&1 &
app=$!
main="$(waitFor "$main_caption" 60)"

# Esc answers Cancel: nothing changes, and Upgrade is offered again.
press "$main" alt+u
box="$(waitFor "$box_caption" 60)" || fail "Upgrade asked nothing"
picture preview-question "$box"
press "$box" Escape
waitGone "$box_caption" 30 || fail "Esc did not close the question"
[ "$(sha256sum < "$cookbook")" = "$original" ] || fail "a cancelled preview changed the cookbook"
[ ! -e "$work/program/tempdb.mdb" ] || fail "a cancelled preview left tempdb.mdb"
[ ! -e "$work/program/Backup/Family cookbook_backup.rcp" ] || fail "a cancelled preview made a backup"

# Alt+S shows the list, and the question comes back; Enter upgrades.
press "$main" alt+u
box="$(waitFor "$box_caption" 60)"
press "$box" alt+s
for _ in $(seq 50); do [ -s "$work/opened" ] && break; sleep 0.1; done
grep -qx "file://$work/program/preview_changes.txt" "$work/opened" 2>/dev/null ||
  fail "Show the list opened $(cat "$work/opened" 2>/dev/null || echo nothing)"
grep -q "would change" "$work/program/preview_changes.txt" || fail "the list shown is not the dry run's"
box="$(waitFor "$box_caption" 30)" || fail "the question did not come back after the list"
press "$box" Return
sleep 1
box="$(waitFor "$box_caption" 120)" || fail "the upgrade ended without a box"
picture success "$box"
press "$box" alt+s
for _ in $(seq 50); do [ "$(wc -l < "$work/opened")" -ge 2 ] && break; sleep 0.1; done
[ "$(sed -n 2p "$work/opened")" = "file://$work/program/Backup" ] ||
  fail "Show the backup opened $(sed -n 2p "$work/opened")"
waitGone "$box_caption" 30 || fail "Show the backup did not close the success box"
backup="$work/program/Backup/Family cookbook_backup.rcp"
[ -f "$backup" ] && [ "$(sha256sum < "$backup")" = "$original" ] || fail "the backup is missing or differs"
"$build/bin/zestrel" check --strict "$cookbook" >/dev/null || fail "the upgraded cookbook fails the strict check"
press "$main" alt+x
ended || { fail "Alt+X did not close the window"; kill "$app"; app=""; }

# A close during a long upgrade asks; Alt+S stops it and the window closes once it is undone.
big="$work/big.rcp"
"$build/bin/zestrel" sample --layout 1.1 --recipes 20000 --ingredients-per-recipe 6 "$big" >/dev/null 2>&1
big_original="$(sha256sum < "$big")"
"$build/bin/zestrel-upgrade" "$big" >"$work/run2.log" 2>&1 &
app=$!
main="$(waitFor "$main_caption" 60)"
press "$main" alt+u
sleep 0.3
press "$main" Escape
box="$(waitFor "$box_caption" 30)" || fail "a close during the upgrade asked nothing"
picture stop-question "$box"
press "$box" alt+s
ended || { fail "the window did not close after the stop"; kill "$app"; app=""; }
[ "$(sha256sum < "$big")" = "$big_original" ] || fail "the stopped upgrade changed the cookbook"
[ ! -e "$work/program/tempdb.mdb" ] || fail "the stopped upgrade left tempdb.mdb"
[ ! -e "$work/program/Backup/big_backup.rcp" ] || fail "the stopped upgrade left a backup"

[ "$status" -eq 0 ] && echo "the preview, the success box and the stop work in the window"
exit "$status"
