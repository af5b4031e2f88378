#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything twice (plain with warnings
# as errors, then with AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# every test in both builds with CTest; then builds the libFuzzer targets with
# clang under the sanitizers and runs each for a bounded time; last cross-builds
# the Windows programs and their tests with mingw-w64 and runs them under wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
jobs=$(nproc)

echo "== build (warnings as errors)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
      -DZESTREL_WERROR=ON >/dev/null
cmake --build "$root/build" -j "$jobs"
echo "== tests"
(cd "$root/build" && ctest --output-on-failure -j "$jobs")

echo "== build with sanitizers"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
      -DZESTREL_SANITIZE=ON -DZESTREL_WERROR=ON -DZESTREL_BENCH=OFF >/dev/null
cmake --build "$root/build-asan" -j "$jobs"
echo "== tests under sanitizers"
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs")

echo "== fuzzers (clang, sanitizers, bounded time)"
cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DZESTREL_FUZZ=ON -DZESTREL_SANITIZE=ON -DZESTREL_WERROR=ON >/dev/null
cmake --build "$root/build-fuzz" -j "$jobs"
(cd "$root/build-fuzz" && ctest --output-on-failure -j "$jobs")

echo "== Windows build (mingw-w64) and tests under wine"
windows_start=$SECONDS
cmake -S "$root" -B "$root/build-win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DZESTREL_WERROR=ON >/dev/null
cmake --build "$root/build-win" -j "$jobs"
(cd "$root/build-win" && WINEDEBUG=-all ctest --output-on-failure -j "$jobs")
echo "Windows build and tests: $((SECONDS - windows_start)) s"
