#!/usr/bin/env bash
# Every example command in zestrel(1)'s EXAMPLES section works as printed. Each
# example (a description and the commands under it) runs in a scene of its own:
# a scratch home, working folder and root, the program's folder inside that home
# (ZESTREL_PROGRAM_FOLDER), and sample cookbooks at every file name the commands
# use (a wildcard gets two that match it), so nothing outside the scratch folder
# is touched. A path outside the home ("/media/usb/...") is taken inside the
# scratch root. A command is run by bash as typed, and must exit 0 (or the status
# its description gives as "exits N"); a pipeline whose writer was stopped by the
# reader closing early (head) counts as done.
#
# It must also do what its words say: an upgrade leaves each cookbook current and
# names a backup that exists, a dry run changes no file, a restore puts the
# original back byte for byte, and a command that prints data prints some. Every
# database the scene ends with passes `zestrel check --strict`.
#   manual_examples_test.sh BIN_DIR MAN_DIR
# Exits 77 (skipped) when groff is missing; scripts/setup.sh installs it.
set -uo pipefail
bin="$(cd "$1" && pwd)"
man="$2"
command -v groff >/dev/null || { echo "SKIPPED: groff is not installed (scripts/setup.sh installs it)"; exit 77; }

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

scratch="$(mktemp -d "${TMPDIR:-/tmp}/zestrel-manual-examples.XXXXXX")"
# Kept for a look when something failed.
trap '[ "$failures" -eq 0 ] && rm -rf "$scratch"' EXIT

render() { gzip -dc "$man/$1.1.gz" | groff -man -Tascii -P-cbou 2>/dev/null; }
section() {  # section TEXT HEADING
  awk -v heading="$2" '/^[A-Z]/ { inside = ($0 == heading); next } inside' <<<"$1"
}

# The examples: a description (the page's body indent) followed by its commands (indented deeper).
examples="$(section "$(render zestrel)" EXAMPLES)"
blocks=()
current=""
commands_in_current=0
while IFS= read -r line; do
  if [[ $line =~ ^\ {7}([^\ ].*)$ ]]; then
    if [ "$commands_in_current" -eq 0 ] && [ -n "$current" ]; then
      current+=" ${BASH_REMATCH[1]}"  # a description that goes on over another line
    else
      [ -n "$current" ] && blocks+=("$current")
      current="${BASH_REMATCH[1]}"
      commands_in_current=0
    fi
  elif [[ $line =~ ^\ {8,}(zestrel\ .*)$ ]]; then
    current+=$'\n'"${BASH_REMATCH[1]}"
    commands_in_current=$((commands_in_current + 1))
  elif [[ $line =~ ^\ {8,}[^\ ] ]]; then
    fail "EXAMPLES shows '$line', which is no zestrel command"
  fi
done <<<"$examples"
[ -n "$current" ] && blocks+=("$current")

# The scene of one example.
scene="" home="" work="" root="" program=""
declare -A original=()  # a sample cookbook's path -> a copy of it as it was made
cookbooks=()

# Runs a command line as a reader would, in the scene; its output in $scene/out and $scene/err.
in_scene() {
  (cd "$work" && env -u XDG_DATA_HOME HOME="$home" ZESTREL_PROGRAM_FOLDER="$program" PATH="$bin:$PATH" \
    bash -c "set -o pipefail; $1") >"$scene/out" 2>"$scene/err"
}

# A sample cookbook at PATH, once; layout 1.0 or 1.1.
make_cookbook() {  # make_cookbook PATH LAYOUT
  [ -e "$1" ] && return
  mkdir -p "$(dirname "$1")"
  if ! "$bin/zestrel" sample --layout "$2" --recipes 4 --ingredients-per-recipe 3 "$1" 2>"$scene/err"; then
    fail "could not write the sample $1: $(cat "$scene/err")"
    return
  fi
  original["$1"]="$scene/originals/${#original[@]}"
  cp "$1" "${original[$1]}"
  cookbooks+=("$1")
}

# The files a command names, made as sample cookbooks where the reader would have them.
make_named_files() {  # make_named_files COMMAND
  local word path
  for word in $(grep -oE '[^ |]+\.(rcp|mdb)' <<<"$1"); do
    case "$word" in
      "~/"*) path="$home/${word#\~/}" ;;
      /*) path="$word" ;;
      *) path="$work/$word" ;;
    esac
    if [[ $path == *[*?]* ]]; then
      make_cookbook "${path//[*?]/family}" 1.0
      make_cookbook "${path//[*?]/party}" 1.1
    else
      make_cookbook "$path" 1.1
    fi
  done
}

# The cookbooks among the scene's samples that a command names, after the shell's expansion.
named_cookbooks() {  # named_cookbooks COMMAND
  local expanded
  expanded="$(cd "$work" && HOME="$home" bash -c "printf '%s\n' $(sed 's/|.*//' <<<"$1")")"
  local cookbook
  for cookbook in "${cookbooks[@]}"; do
    grep -qxF -- "$cookbook" <<<"$expanded" && echo "$cookbook"
    grep -qxF -- "${cookbook#"$work/"}" <<<"$expanded" && echo "$cookbook"
  done | sort -u
}

run_example() {  # run_example DESCRIPTION COMMAND...
  local description="$1"
  shift
  scene="$(mktemp -d "$scratch/example.XXXXXX")"
  home="$scene/home" work="$scene/work" root="$scene/root" program="$scene/home/.local/share/zestrel"
  mkdir -p "$home" "$work" "$root" "$scene/originals"
  original=()
  cookbooks=()

  local expected=0
  [[ $description =~ exits\ ([0-9]+) ]] && expected="${BASH_REMATCH[1]}"

  # Paths outside the home, taken inside the scratch root.
  local commands=() command
  for command in "$@"; do commands+=("$(sed -E "s#(^| )/#\\1$root/#g" <<<"$command")"); done
  for command in "${commands[@]}"; do make_named_files "$command"; done

  for command in "${commands[@]}"; do
    local words=($command) cookbook
    # Putting the original back needs an upgrade that kept it, with the same program folder.
    if [ "${words[1]}" = restore ] && [[ $command != *--from* && $command != *--list* ]]; then
      local folder_option=""
      [[ $command =~ (--program-folder\ [^ ]+) ]] && folder_option="${BASH_REMATCH[1]}"
      for cookbook in $(named_cookbooks "$command"); do
        in_scene "zestrel upgrade $folder_option '$cookbook'" || fail "'$command': the upgrade before it failed: $(cat "$scene/err")"
      done
    fi

    in_scene "$command"
    local status=$?
    cp "$scene/out" "$scene/said.out"
    cp "$scene/err" "$scene/said.err"
    if [ "$status" -eq 141 ] && [[ $command == *"|"* ]]; then status=0; fi  # the reader stopped reading
    local shown="${command//$scene/<scratch>}"
    if [ "$status" -ne "$expected" ]; then
      fail "'$shown' ($description) exited $status, not $expected: $(cat "$scene/err")"
      continue
    fi

    case "${words[1]}" in
      upgrade)
        for cookbook in $(named_cookbooks "$command"); do
          if [[ $command == *--dry-run* ]]; then
            cmp -s "$cookbook" "${original[$cookbook]}" || fail "'$shown' changed ${cookbook#"$scene/"}"
          else
            in_scene "zestrel version '$cookbook'"
            grep -q "up to date" "$scene/out" || fail "'$shown' left ${cookbook#"$scene/"} at $(cat "$scene/out")"
          fi
        done
        if [[ $command != *--dry-run* ]]; then
          local backups
          backups="$(grep -oE '/[^"]*_backup(_[0-9]+)?\.rcp' "$scene/said.err")"
          [ -n "$backups" ] || fail "'$shown': the message names no backup: $(cat "$scene/said.err")"
          for backup in $backups; do
            [ -f "$backup" ] || fail "'$shown': the backup it names, $backup, is not there"
          done
        fi
        ;;
      restore)
        if [[ $command != *--from* && $command != *--list* ]]; then
          for cookbook in $(named_cookbooks "$command"); do
            cmp -s "$cookbook" "${original[$cookbook]}" || fail "'$shown' did not put the original back"
          done
        fi
        ;;
      tables | schema | dump | version)
        [ -s "$scene/said.out" ] || fail "'$shown' printed nothing: $(cat "$scene/said.err")"
        ;;
    esac
  done

  # Every database the example leaves behind is sound, the backups and the program folder's included.
  local database
  while IFS= read -r -d '' database; do
    "$bin/zestrel" check --strict "$database" >"$scene/check" 2>&1 ||
      fail "$description: ${database#"$scene/"} fails 'zestrel check --strict': $(cat "$scene/check")"
  done < <(find "$scene" -path "$scene/originals" -prune -o -type f \( -name '*.rcp' -o -name '*.mdb' \) -print0)
}

ran=0
for block in "${blocks[@]}"; do
  mapfile -t lines <<<"$block"
  if [ "${#lines[@]}" -lt 2 ]; then
    fail "the example '${lines[0]}' shows no command"
    continue
  fi
  run_example "${lines[@]}"
  ran=$((ran + ${#lines[@]} - 1))
done
[ "$ran" -gt 0 ] || fail "zestrel.1 shows no example command"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; the scenes are in $scratch"
  exit 1
fi
echo "every one of the $ran example commands of zestrel(1) works as printed"
