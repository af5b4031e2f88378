#!/usr/bin/env bash
# Takes a screenshot of the window under a virtual X display (Xvfb) and saves it
# as docs/window.png (or the file given).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/docs/window.png}"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target zestrel-upgrade >/dev/null
mkdir -p "$(dirname "$out")"
xvfb-run -a "$root/build/bin/zestrel-upgrade" --screenshot "$out"
echo "saved $out"
