#!/usr/bin/env bash
# Runs both fuzzers for longer, with corpora kept in fuzz/work: RUNS executions each.
#   fuzz/long_run.sh [RUNS]
set -euo pipefail
runs=${1:-10000000}
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DZESTREL_FUZZ=ON -DZESTREL_SANITIZE=ON >/dev/null
cmake --build "$root/build-fuzz" >/dev/null
for pair in parse_quantity:parse_quantity read_database:database; do
  target=${pair%%:*} corpus=${pair##*:}
  work="$root/fuzz/work/$corpus"
  mkdir -p "$work" "$root/fuzz/work/found"
  cp -n "$root/fuzz/corpus/$corpus/"* "$work/" 2>/dev/null || true
  [ "$corpus" = database ] && cp -n "$root/../shared/fixtures/jet/"*.mdb "$work/" 2>/dev/null || true
  "$root/build-fuzz/bin/${target}_fuzzer" -runs="$runs" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$root/fuzz/work/found/$target-" "$work" 2>&1 | tail -n 8
done
