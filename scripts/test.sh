#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything twice (plain with warnings
# as errors, then with AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# every test in both builds with CTest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
jobs=$(nproc)

echo "== build (warnings as errors)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZESTREL_WERROR=ON >/dev/null
cmake --build "$root/build" -j "$jobs"
echo "== tests"
(cd "$root/build" && ctest --output-on-failure -j "$jobs")

echo "== build with sanitizers"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZESTREL_SANITIZE=ON \
      -DZESTREL_WERROR=ON -DZESTREL_BENCH=OFF >/dev/null
cmake --build "$root/build-asan" -j "$jobs"
echo "== tests under sanitizers"
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs")
