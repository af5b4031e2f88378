#!/usr/bin/env bash
# The files the Windows programs write, read by the Linux-only referees: zestrel.exe (under wine)
# writes an old-layout cookbook, upgrades it and makes a new one; mdbtools and mdb-reader must read
# every table of each with as many rows as zestrel.exe dumps, and the same Names.
#   windows_files_referees.sh BUILD_DIR SOURCE_DIR
# Exit 77 (skipped) when wine or mdbtools is missing.
set -euo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(cd "$2" && pwd)"
for tool in wine mdb-json mdb-tables; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
export WINEDEBUG=-all
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
windows() { echo "Z:${1//\//\\}"; }
zestrel() { wine "$build/bin/zestrel.exe" "$@"; }

mkdir -p "$work/program"
zestrel sample --layout 1.0 --recipes 25 --ingredients-per-recipe 4 "$(windows "$work/Zoë's cookbook.rcp")" >/dev/null
zestrel upgrade --program-folder "$(windows "$work/program")" "$(windows "$work/Zoë's cookbook.rcp")" >/dev/null
zestrel new "$(windows "$work/new.rcp")" >/dev/null

mdb_reader=""
if command -v node >/dev/null && [ -d "$source_dir/tests/tools/node_modules/mdb-reader" ]; then
  mdb_reader="$source_dir/tests/tools/mdb_reader_dump.mjs"
fi
failures=0
checked=0
for file in "$work/Zoë's cookbook.rcp" "$work/program/Backup/Zoë's cookbook_backup.rcp" "$work/new.rcp"; do
  tables="$(zestrel tables "$(windows "$file")" | tr -d '\r')"
  [ "$(mdb-tables -1 "$file" | sort)" = "$(sort <<< "$tables")" ] ||
    { echo "$file: mdb-tables lists other tables than zestrel.exe"; failures=$((failures + 1)); }
  [ -n "$mdb_reader" ] && { node "$mdb_reader" "$file" > "$work/reader.jsonl" ||
    { echo "$file: mdb-reader cannot read it"; failures=$((failures + 1)); }; }
  while read -r table; do
    [ -n "$table" ] || continue
    ours="$(zestrel dump "$(windows "$file")" "$table")"
    theirs="$(mdb-json "$file" "$table")"
    if [ "$(wc -l <<< "$ours")" != "$(wc -l <<< "$theirs")" ]; then
      echo "$file: table $table: zestrel.exe dumps $(wc -l <<< "$ours") rows, mdb-json $(wc -l <<< "$theirs")"
      failures=$((failures + 1))
    elif grep -q '"Name"' <<< "$ours" &&
         [ "$(jq -r '.Name // empty' <<< "$ours" | sort)" != "$(jq -r '.Name // empty' <<< "$theirs" | sort)" ]; then
      echo "$file: table $table: the Names differ between zestrel.exe and mdb-json"
      failures=$((failures + 1))
    fi
    checked=$((checked + 1))
  done <<< "$tables"
done
echo "$checked tables in 3 files written by zestrel.exe read by mdbtools${mdb_reader:+ and mdb-reader}; $failures failures"
[ "$failures" -eq 0 ]
