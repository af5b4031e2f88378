#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds, and starts the window program
# zestrel-upgrade (under a virtual display when there is no display).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target zestrel-upgrade zestrel >/dev/null
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a "$root/build/bin/zestrel-upgrade" "$@"
fi
exec "$root/build/bin/zestrel-upgrade" "$@"
