#!/usr/bin/env bash
# Times `zestrel dump` against `mdb-json` on one table, the two in turn in one
# run, and prints each one's median wall time and the ratio of the medians.
#   bench/dump_vs_mdbjson.sh FILE TABLE [RUNS]
set -euo pipefail
file=$1 table=$2 runs=${3:-21}
root="$(cd "$(dirname "$0")/.." && pwd)"
zestrel="$root/build/bin/zestrel"

now() { date +%s%N; }
ours=() theirs=()
for ((i = 0; i < runs; i++)); do
  t0=$(now); "$zestrel" dump "$file" "$table" >/dev/null; t1=$(now)
  mdb-json "$file" "$table" >/dev/null 2>&1; t2=$(now)
  ours+=($((t1 - t0))) theirs+=($((t2 - t1)))
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
mo=$(median "${ours[@]}") mt=$(median "${theirs[@]}")
echo "table $table of $(basename "$file"), $runs runs each, alternating"
echo "zestrel dump median: $((mo / 1000)) us"
echo "mdb-json     median: $((mt / 1000)) us"
awk -v a="$mo" -v b="$mt" 'BEGIN { printf "ratio zestrel/mdb-json: %.2f\n", a / b }'
