# Sourced by the scripts that drive the window programs (Qt, and Windows under wine): a virtual X display
# and waiting for windows by their caption.
#   makeWorkFolder               makes a temporary folder $work, removed on exit together with the
#                                program $app and the display $xvfb the caller started (and
#                                the command $endWorkToo, when set)
#   startVirtualDisplay FOLDER   starts Xvfb on a free display (its number written to FOLDER/display),
#                                sets DISPLAY and xvfb (its process, for the caller to end)
#   waitFor NAME SECONDS         prints the X window with exactly that caption once it is shown
#   waitGone NAME SECONDS        returns once no window with that caption is shown
#   press WINDOW KEY...          gives the window the keyboard (no window manager does) and presses keys
#   ended                        waits up to 15 s for the program $app to end; false if it still runs
#   upgradeThroughBoxes CAPTION  answers Upgrade's question of the values it changes with Enter
#                                (Upgrade), then closes the success box with Enter; calls fail with
#                                what did not come

makeWorkFolder() {
  work="$(mktemp -d)"
  app=""
  xvfb=""
  trap endWork EXIT
}

endWork() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  [ -n "${endWorkToo:-}" ] && $endWorkToo
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}

startVirtualDisplay() {
  exec 3<> "$1/display"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$1/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -1 "$1/display")"
}

waitFor() {
  for _ in $(seq $(( $2 * 10 ))); do
    found="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)"
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.1
  done
  echo "no window \"$1\" after $2 s" >&2
  return 1
}

waitGone() {
  for _ in $(seq $(( $2 * 10 ))); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "window \"$1\" still open after $2 s" >&2
  return 1
}

press() {
  local window="$1"; shift
  xdotool windowfocus --sync "$window"
  xdotool key "$@"
}

ended() {
  for _ in $(seq 150); do kill -0 "$app" 2>/dev/null || { wait "$app" || true; app=""; return 0; }; sleep 0.1; done
  return 1
}

upgradeThroughBoxes() {
  local box
  if box="$(waitFor "$1" 120)"; then
    press "$box" Return
    waitGone "$1" 30 || fail "Enter did not answer the question"
    sleep 1
  else
    fail "Upgrade asked nothing"
  fi
  if box="$(waitFor "$1" 120)"; then
    press "$box" Return
    waitGone "$1" 30 || fail "Enter did not close the success box"
  else
    fail "the upgrade ended without its success box"
  fi
}
