#!/usr/bin/env bash
# lintian, Debian's own check of a package, finds no error and no warning in the
# package that the test deb_package made (BUILD_DIR/package/zestrel_VERSION_ARCH.deb).
# Every tag it reports is printed, information tags too.
#   deb_lintian_test.sh BUILD_DIR VERSION
# Exits 77 (skipped) when lintian is missing; scripts/setup.sh installs it.
set -uo pipefail
build="$(cd "$1" && pwd)"
version="$2"
if ! command -v lintian >/dev/null; then
  echo "SKIPPED: lintian is not installed (scripts/setup.sh installs it)"
  exit 77
fi
deb="$build/package/zestrel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "FAIL: no package $deb (the test deb_package makes it)"; exit 1; }

tags="$(lintian --display-info --tag-display-limit 0 "$deb" 2>&1)"
status=$?
[ -n "$tags" ] && echo "$tags"
if [ $status -ne 0 ] && ! grep -qE '^[EW]: ' <<<"$tags"; then
  echo "FAIL: lintian failed to run"
  exit 1
fi
problems="$(grep -E '^[EW]: ' <<<"$tags")"
if [ -n "$problems" ]; then
  echo "FAIL: lintian reports $(wc -l <<<"$problems") error(s) or warning(s)"
  exit 1
fi
echo "lintian: no error, no warning in $(basename "$deb")"
