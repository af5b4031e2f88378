#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds, and runs the program with the given arguments.
#   scripts/run.sh tables ../shared/fixtures/jet/testV1997.mdb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target zestrel >/dev/null
exec "$root/build/bin/zestrel" "$@"
