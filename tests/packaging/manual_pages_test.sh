#!/usr/bin/env bash
# The manual pages tell the truth about the programs as built: each page has its
# sections in the usual order, groff reads it without a warning, and every command,
# option, argument, environment variable and exit status that the programs' own
# --help lists is in the page -- each command's options and arguments inside that
# command's entry under COMMANDS.
#   manual_pages_test.sh BIN_DIR MAN_DIR
# Exits 77 (skipped) when groff is missing; scripts/setup.sh installs it.
set -uo pipefail
bin="$1"
man="$2"
command -v groff >/dev/null || { echo "SKIPPED: groff is not installed (scripts/setup.sh installs it)"; exit 77; }

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The page as a reader sees it, in plain text.
render() { gzip -dc "$man/$1.1.gz" | groff -man -Tascii -P-cbou 2>/dev/null; }

# The text of one top-level section (a heading in the first column).
section() {  # section TEXT HEADING
  awk -v heading="$2" '/^[A-Z]/ { inside = ($0 == heading); next } inside' <<<"$1"
}

# The option names (--long and -s) of a --help text's Options block, or of one of its blocks.
options_of() {
  sed -n '/^Options:/,/^$/p' <<<"$1" | grep -oE -- '(^|[ ,])-(-[a-z][a-z0-9-]*|[a-zA-Z])\b' | sed 's/^[ ,]//' | sort -u
}
# The upper-case argument names of a --help text's Positionals block.
positionals_of() { sed -n '/^Positionals:/,/^$/p' <<<"$1" | sed -n 's/^  \([A-Z][A-Z0-9_]*\) .*/\1/p'; }
# The names in an Environment block of a --help text.
environment_of() { sed -n '/^Environment:/,/^$/p' <<<"$1" | sed -n 's/^  \([A-Z][A-Z0-9_]*\) .*/\1/p'; }

check_sections() {  # check_sections PAGE TEXT EXPECTED...
  local page="$1" text="$2"
  shift 2
  local actual expected
  actual="$(grep -E '^[A-Z][A-Z -]*$' <<<"$text" | tr '\n' '|')"
  expected="$(printf '%s|' "$@")"
  [ "$actual" = "$expected" ] || fail "$page: sections are '$actual', expected '$expected'"
}

# check_named PAGE SECTION TEXT NAME...: each option, argument or variable NAME is in the section.
check_named() {
  local page="$1" heading="$2" text="$3" name
  shift 3
  for name in "$@"; do
    grep -qE -- "(^|[^A-Za-z0-9_-])$name([^A-Za-z0-9_-]|$)" <<<"$text" || fail "$page.1: $heading lacks $name"
  done
}

check_groff() {  # check_groff PAGE TEXT
  local warnings
  warnings="$(gzip -dc "$man/$1.1.gz" | groff -man -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "groff warns about $1.1: $warnings"
  # NAME is the one line that whatis and apropos read: "name - summary".
  [[ "$(section "$2" NAME)" =~ ^\ +$1\ -\ [a-z].+$ ]] || fail "$1.1: NAME is not one line '$1 - summary'"
}

# zestrel(1)
page="$(render zestrel)"
check_groff zestrel "$page"
check_sections zestrel "$page" NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS "EXIT STATUS" ENVIRONMENT FILES \
  EXAMPLES "SEE ALSO"
help="$("$bin/zestrel" --help)" || fail "zestrel --help failed"
commands_text="$(section "$page" COMMANDS)"
commands="$(sed -n '/^Subcommands:/,/^$/p' <<<"$help" | sed -n 's/^  \([a-z][a-z0-9-]*\) .*/\1/p')"
[ -n "$commands" ] || fail "zestrel --help lists no commands"
for command in $commands; do
  # The command's entry: from its heading line to the next command's heading.
  entry="$(awk -v name="zestrel $command" '
    /^       zestrel [a-z]/ { inside = (index($0, "       " name " ") == 1 || $0 == "       " name) }
    inside' <<<"$commands_text")"
  if [ -z "$entry" ]; then
    fail "zestrel.1: COMMANDS has no entry 'zestrel $command'"
    continue
  fi
  command_help="$("$bin/zestrel" "$command" --help)" || fail "zestrel $command --help failed"
  # -h and --help, which every command has, are said once under OPTIONS.
  check_named zestrel "the entry of '$command'" "$entry" \
    $(options_of "$command_help" | grep -vxE -- '-h|--help') $(positionals_of "$command_help")
done
check_named zestrel OPTIONS "$(section "$page" OPTIONS)" $(options_of "$help")
check_named zestrel ENVIRONMENT "$(section "$page" ENVIRONMENT)" $(environment_of "$help")
status_text="$(section "$page" "EXIT STATUS")"
for status in $(sed -n '/^Exit status:/,/^$/p' <<<"$help" | sed -n 's/^  \([0-9][0-9]*\) .*/\1/p'); do
  grep -qE "^       $status( |$)" <<<"$status_text" || fail "zestrel.1: EXIT STATUS lacks $status"
done
files_text="$(section "$page" FILES)"
for name in Backup tempdb.mdb _changes.txt; do
  grep -q -- "$name" <<<"$files_text" || fail "zestrel.1: FILES does not name $name"
done

# zestrel-upgrade(1)
page="$(render zestrel-upgrade)"
check_groff zestrel-upgrade "$page"
check_sections zestrel-upgrade "$page" NAME SYNOPSIS DESCRIPTION OPTIONS "BACKUP AND UNDO" "EXIT STATUS" \
  ENVIRONMENT FILES "SEE ALSO"
help="$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/zestrel-upgrade" --help)" || fail "zestrel-upgrade --help failed"
[ -n "$(options_of "$help")" ] || fail "zestrel-upgrade --help lists no options"
check_named zestrel-upgrade OPTIONS "$(section "$page" OPTIONS)" $(options_of "$help") $(positionals_of "$help")
check_named zestrel-upgrade ENVIRONMENT "$(section "$page" ENVIRONMENT)" $(environment_of "$help")
undo_text="$(section "$page" "BACKUP AND UNDO")"
for words in "Backup" "_backup.rcp" "zestrel restore"; do
  grep -q -- "$words" <<<"$undo_text" || fail "zestrel-upgrade.1: BACKUP AND UNDO does not say '$words'"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "both manual pages name every command, option and argument of the programs' --help"
