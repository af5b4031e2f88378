#!/usr/bin/env bash
# Installs what building and testing need, when it is missing: Debian packages
# (compiler, CMake, GoogleTest, Google Benchmark, mdbtools, the tools that check
# the Debian package (lintian among them), the mingw-w64 cross compiler, wine,
# NSIS for the Windows installer, the GoogleTest source and what drives the
# Windows window: xdotool, xwd, and the locale sources), the German locale
# de_DE.UTF-8 (numbers with a decimal comma, for the tests of reading numbers by
# the user's locale) and the npm package mdb-reader into tests/tools/node_modules
# (never globally).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ clang cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
          libcli11-dev mdbtools qt6-base-dev xvfb xauth
          dpkg-dev lintian appstream desktop-file-utils shared-mime-info groff-base
          g++-mingw-w64-x86-64-posix wine nsis googletest xdotool x11-apps jq locales)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node.js may come from elsewhere than Debian (with npm bundled); only a missing command counts.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; then
  echo "Generating the locale de_DE.UTF-8"
  $sudo_cmd localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

if [ ! -d tests/tools/node_modules/mdb-reader ]; then
  echo "Installing mdb-reader into tests/tools"
  (cd tests/tools && npm ci --no-audit --no-fund --silent)
fi
