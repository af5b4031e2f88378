#!/usr/bin/env bash
# Upgrades cookbooks made by `zestrel sample` (each size, layouts 1.0 and 1.1)
# and has mdb-json read the same two tables (Recipe and Ingred) of the same
# file, the two in turn in one run. Prints each one's median wall time, the
# median of the pairwise ratios zestrel/mdb-json, and each one's peak memory;
# then the same for `zestrel dump` of Ingred, and the peak memory of
# `zestrel sample` writing the cookbook.
#   bench/upgrade_vs_mdbjson.sh [RUNS] [RECIPESxINGREDIENTS_PER_RECIPE ...]
#   default: 5 runs, sizes 10000x10 and 100000x10
set -euo pipefail
runs=${1:-5}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000x10 100000x10)
root="$(cd "$(dirname "$0")/.." && pwd)"
zestrel="$root/build/bin/zestrel"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command under GNU time; appends "seconds peak-KB" to the file named first.
measure() {
  local out=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
  cat "$work/time" >>"$out"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column_of() { awk -v c="$1" '{ print $c }' "$2"; }

# Prints one comparison: name, our file of "s KB" lines, theirs.
report() {
  local name=$1 ours=$2 theirs=$3
  local ratios
  ratios=$(paste "$ours" "$theirs" | awk '{ printf "%.3f\n", ($1 > 0 ? $1 : 0.001) / ($3 > 0 ? $3 : 0.001) }')
  printf '%-34s zestrel %6.2f s %5d MB | mdb-json %6.2f s %5d MB | ratio %5.2f\n' "$name" \
    "$(column_of 1 "$ours" | median)" "$(($(column_of 2 "$ours" | median) / 1024))" \
    "$(column_of 1 "$theirs" | median)" "$(($(column_of 2 "$theirs" | median) / 1024))" \
    "$(echo "$ratios" | median)"
}

read_both() { mdb-json "$1" Recipe && mdb-json "$1" Ingred; }
export -f read_both

echo "medians of $runs runs each, zestrel and mdb-json in turn; ratio = median of the pairwise ratios"
for size in "${sizes[@]}"; do
  recipes=${size%x*} per=${size#*x}
  for layout in 1.0 1.1; do
    cookbook="$work/sample-$layout-$size.rcp"
    rm -f "$work/sample.t"
    measure "$work/sample.t" "$zestrel" sample --layout "$layout" --recipes "$recipes" \
      --ingredients-per-recipe "$per" "$cookbook"
    label="$recipes recipes x $per, layout $layout"
    echo "$label: $(du -m "$cookbook" | cut -f1) MB file; zestrel sample $(column_of 1 "$work/sample.t") s," \
      "peak $(($(column_of 2 "$work/sample.t") / 1024)) MB"
    : >"$work/up.ours"; : >"$work/up.theirs"; : >"$work/dump.ours"; : >"$work/dump.theirs"
    for ((i = 0; i < runs; i++)); do
      rm -rf "$work/run"; mkdir -p "$work/run/program"
      cp "$cookbook" "$work/run/cookbook.rcp"
      measure "$work/up.ours" "$zestrel" upgrade --program-folder "$work/run/program" "$work/run/cookbook.rcp"
      measure "$work/up.theirs" bash -c 'read_both "$0"' "$cookbook"
      measure "$work/dump.ours" "$zestrel" dump "$cookbook" Ingred
      measure "$work/dump.theirs" mdb-json "$cookbook" Ingred
    done
    report "  upgrade / read Recipe+Ingred" "$work/up.ours" "$work/up.theirs"
    report "  dump Ingred / mdb-json Ingred" "$work/dump.ours" "$work/dump.theirs"
  done
done
