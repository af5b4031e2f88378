#!/usr/bin/env bash
# Upgrades cookbooks made by `zestrel sample` (each size, layouts 1.0 and 1.1)
# and has mdb-json read the same two tables (Recipe and Ingred) of the same
# file, the two in turn in one run. Prints each one's median wall time, the
# median of the pairwise ratios zestrel/mdb-json, and each one's peak memory;
# then the same for `zestrel dump` of Ingred, and the peak memory of
# `zestrel sample` writing the cookbook.
# A size ending in "m" (10000x10m) is a layout-1.0 cookbook whose recipes carry
# about 2.3 KB of memo text each (Prep 1,000 characters, comment 300, Ingredient
# 1,000), so that most of the file is long values.
# The size "jet4" is the layout-1.1 Jet 4 cookbook of ../shared/fixtures/cookbooks (10,000 recipes
# with 1 KB memos, 100,000 ingredient lines, written by an independent Jet library), unpacked into
# the temporary folder; it is skipped with a message when ../shared is absent.
# The floor is the time of copying the cookbook and making the copy durable (cp, then sync of
# the copy), against the same mdb-json read: no upgrade can take less.
# The size "million" (outside the default list: a 770 MB file, minutes to make) is the layout-1.0
# cookbook of 1,000,000 recipes and 10,000,000 ingredient lines; the same as 1000000x10 with
# layout 1.0 only. Every case also shows the upgrade's seconds per GB of cookbook.
#   bench/upgrade_vs_mdbjson.sh [RUNS] [RECIPESxINGREDIENTS_PER_RECIPE[m] | jet4 | million ...]
#   default: 5 runs, sizes 10000x10, 100000x10, 10000x10m and jet4
set -euo pipefail
runs=${1:-5}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000x10 100000x10 10000x10m jet4)
root="$(cd "$(dirname "$0")/.." && pwd)"
zestrel="$root/build/bin/zestrel"
jet4_cookbook="$root/../shared/fixtures/cookbooks/big11-jet4.rcp.gz"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command under GNU time; appends "seconds peak-KB" to the file named first. The seconds
# are read from the clock around it, to the millisecond: GNU time counts hundredths, which at a
# tenth of a second moves a ratio in steps of 7 %.
measure() {
  local out=$1
  shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo "$(((end - start) / 1000000)) $(cat "$work/time")" | awk '{ printf "%.3f %s\n", $1 / 1000, $2 }' >>"$out"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column_of() { awk -v c="$1" '{ print $c }' "$2"; }

# Prints one comparison: name, our file of "s KB" lines, theirs.
report() {
  local name=$1 ours=$2 theirs=$3
  local ratios
  ratios=$(paste "$ours" "$theirs" | awk '{ printf "%.3f\n", ($1 > 0 ? $1 : 0.001) / ($3 > 0 ? $3 : 0.001) }')
  printf '%-34s zestrel %6.3f s %5d MB | mdb-json %6.3f s %5d MB | ratio %5.2f\n' "$name" \
    "$(column_of 1 "$ours" | median)" "$(($(column_of 2 "$ours" | median) / 1024))" \
    "$(column_of 1 "$theirs" | median)" "$(($(column_of 2 "$theirs" | median) / 1024))" \
    "$(echo "$ratios" | median)"
}

read_both() { mdb-json "$1" Recipe && mdb-json "$1" Ingred; }
export -f read_both

# Writes JSON rows for a memo-heavy layout-1.0 cookbook: recipes.jsonl and ingredients.jsonl in DIR.
memo_rows() {
  local recipes=$1 per=$2 dir=$3
  awk -v n="$recipes" -v per="$per" -v dir="$dir" 'BEGIN {
    srand(1)
    split("salt pepper flour sugar butter eggs milk water onion garlic tomato basil simmer stir bake chop", w, " ")
    for (k = 1; k <= n; k++) {
      printf "{\"Name\":\"Recipe %d\",\"Catagory\":\"Dinner\",\"Prep\":\"%s\",\"comment\":\"%s\",", k, text(1000), text(300) > (dir "/recipes.jsonl")
      printf "\"Ingredient\":\"%s\",\"Serving\":\"4\",\"Mark\":false,\"rID\":%d}\n", text(1000), k > (dir "/recipes.jsonl")
      for (j = 1; j <= per; j++)
        printf "{\"Name\":\"Recipe %d\",\"Amt\":\"1 1/2\",\"Messure\":\"cup\",\"Ingred\":\"%s\",\"Item\":%d,\"rID\":%d}\n", k, text(60), j, k > (dir "/ingredients.jsonl")
    }
  }
  function text(len,   t) {
    t = ""
    while (length(t) < len) t = t w[int(rand() * 16) + 1] " "
    return substr(t, 1, len)
  }'
}

# Makes the cookbook of one size and layout; prints its label.
make_cookbook() {
  local size=$1 layout=$2 cookbook=$3
  local recipes=${size%x*} per=${size#*x}
  rm -f "$work/sample.t"
  if [[ $per == *m ]]; then
    per=${per%m}
    rm -f "$work/recipes.jsonl" "$work/ingredients.jsonl"
    memo_rows "$recipes" "$per" "$work"
    measure "$work/sample.t" "$zestrel" sample --layout "$layout" --recipe-rows "$work/recipes.jsonl" \
      --ingredient-rows "$work/ingredients.jsonl" "$cookbook"
    echo "$recipes recipes with 2.3 KB of memos x $per, layout $layout"
  else
    measure "$work/sample.t" "$zestrel" sample --layout "$layout" --recipes "$recipes" \
      --ingredients-per-recipe "$per" "$cookbook"
    echo "$recipes recipes x $per, layout $layout"
  fi
}

copy_and_sync() { cp "$1" "$2" && sync "$2"; }
export -f copy_and_sync

# Times the upgrade of COOKBOOK against mdb-json reading it, the floor (copying it durably) against
# the same read, and the dump of Ingred against mdb-json's.
compare() {
  local cookbook=$1
  : >"$work/up.ours"; : >"$work/up.theirs"; : >"$work/dump.ours"; : >"$work/dump.theirs"
  : >"$work/floor.ours"; : >"$work/floor.theirs"
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/run"; mkdir -p "$work/run/program"
    cp "$cookbook" "$work/run/cookbook.rcp"
    measure "$work/up.ours" "$zestrel" upgrade --program-folder "$work/run/program" "$work/run/cookbook.rcp"
    measure "$work/up.theirs" bash -c 'read_both "$0"' "$cookbook"
    rm -rf "$work/run"; mkdir -p "$work/run"
    measure "$work/floor.ours" bash -c 'copy_and_sync "$0" "$1"' "$cookbook" "$work/run/copy.rcp"
    measure "$work/floor.theirs" bash -c 'read_both "$0"' "$cookbook"
    measure "$work/dump.ours" "$zestrel" dump "$cookbook" Ingred
    measure "$work/dump.theirs" mdb-json "$cookbook" Ingred
  done
  report "  upgrade / read Recipe+Ingred" "$work/up.ours" "$work/up.theirs"
  report "  floor (copy + sync) / read" "$work/floor.ours" "$work/floor.theirs"
  report "  dump Ingred / mdb-json Ingred" "$work/dump.ours" "$work/dump.theirs"
  local bytes
  bytes=$(stat -c %s "$cookbook")
  echo "  upgrade per GB of cookbook: $(column_of 1 "$work/up.ours" | median | awk -v b="$bytes" '{ printf "%.2f s", $1 / (b / 1e9) }')"
}

echo "medians of $runs runs each, zestrel and mdb-json in turn; ratio = median of the pairwise ratios"
for size in "${sizes[@]}"; do
  if [[ $size == jet4 ]]; then
    if [ ! -f "$jet4_cookbook" ]; then
      echo "Jet 4 cookbook: skipped, $jet4_cookbook is absent (../shared is not here)"
      continue
    fi
    cookbook="$work/big11-jet4.rcp"
    gzip -dc "$jet4_cookbook" >"$cookbook"
    echo "Jet 4 cookbook, 10000 recipes with 1 KB memos x 10, layout 1.1: $(du -m "$cookbook" | cut -f1) MB file"
    compare "$cookbook"
    rm -f "$cookbook"
    continue
  fi
  layouts=(1.0 1.1)
  [[ $size == *m ]] && layouts=(1.0)
  [[ $size == million ]] && size=1000000x10 && layouts=(1.0)
  for layout in "${layouts[@]}"; do
    cookbook="$work/sample-$layout-$size.rcp"
    label=$(make_cookbook "$size" "$layout" "$cookbook")
    echo "$label: $(du -m "$cookbook" | cut -f1) MB file; zestrel sample $(column_of 1 "$work/sample.t") s," \
      "peak $(($(column_of 2 "$work/sample.t") / 1024)) MB"
    compare "$cookbook"
  done
done
