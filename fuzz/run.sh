#!/usr/bin/env bash
# Runs one fuzzer for SECONDS on a working copy of its seed corpus (the corpus in
# the repository, and for the database fuzzer the shared Jet fixtures when present).
#   fuzz/run.sh SECONDS FUZZER_BINARY NAME [extra libFuzzer flags...]
set -euo pipefail
seconds=$1 binary=$2 name=$3
shift 3
here="$(cd "$(dirname "$0")" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$here/corpus/$name/." "$work/"
fixtures="$here/../../shared/fixtures/jet"
if [ "$name" = database ] && [ -d "$fixtures" ]; then
  cp "$fixtures"/*.mdb "$work/" 2>/dev/null || true
fi
mkdir -p "$work/found"
"$binary" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 \
  -artifact_prefix="$work/found/" "$@" "$work" 2>&1 | tail -n 25
