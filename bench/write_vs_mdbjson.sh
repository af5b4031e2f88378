#!/usr/bin/env bash
# Writes ROWS rows of the Ingredient table's shape, then has mdb-json read the
# table back, in one run, and prints both times and their ratio.
#   bench/write_vs_mdbjson.sh [ROWS]
set -euo pipefail
rows=${1:-1000000}
root="$(cd "$(dirname "$0")/.." && pwd)"
file=$(mktemp -d)/ingredients.mdb
now() { date +%s%N; }
t0=$(now)
"$root/build/bin/write_ingredients" "$file" "$rows"
t1=$(now)
read_rows=$(mdb-json "$file" Ingredient | wc -l)
t2=$(now)
echo "mdb-json read $read_rows rows"
awk -v w=$((t1 - t0)) -v r=$((t2 - t1)) 'BEGIN {
  printf "write: %.2f s, mdb-json read: %.2f s, write/read ratio: %.2f\n", w / 1e9, r / 1e9, w / r }'
rm -rf "$(dirname "$file")"
