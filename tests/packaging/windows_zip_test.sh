#!/usr/bin/env bash
# The Windows zip, made from the built tree (into BUILD_DIR/package): it unpacks
# into the one folder zestrel-VERSION-windows-x64 with both programs, the read-me,
# the licence and the notices; both programs carry a version resource; the read-me
# says where backups go and how to undo, and explains every failure number the
# sources raise. No wine is needed.
#   windows_zip_test.sh BUILD_DIR VERSION SOURCE_DIR
# Exits 77 (skipped) when cpack or python3 is missing.
set -uo pipefail
build="$(cd "$1" && pwd)"
version="$2"
source_dir="$3"
here="$(cd "$(dirname "$0")" && pwd)"
for tool in cpack python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

top="zestrel-$version-windows-x64"
source "$here/make_package.sh"
make_package ZIP "$build" "$top.zip"
zip="$build/package/$top.zip"

# Everything in one folder; exactly these files in it.
entries="$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")"
outside="$(grep -v "^$top/" <<<"$entries")"
[ -z "$outside" ] || fail "entries outside $top/: $outside"
files="$(grep -v '/$' <<<"$entries" | sed "s|^$top/||" | sort | tr '\n' ' ')"
[ "$files" = "LICENSE.txt NOTICE.txt README.txt zestrel-upgrade.exe zestrel.exe " ] || fail "the zip holds: $files"

unpacked="$(mktemp -d "${TMPDIR:-/tmp}/zestrel-zip.XXXXXX")"
trap 'rm -rf "$unpacked"' EXIT
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$unpacked"
folder="$unpacked/$top"

# The version resources: file and product version, a description, the licence in the copyright.
for program in zestrel zestrel-upgrade; do
  exe="$folder/$program.exe"
  [ -f "$exe" ] || continue
  if ! resource="$(python3 "$here/version_resource.py" "$exe")"; then
    fail "$program.exe has no version resource"
    continue
  fi
  value() { sed -n "s/^$1=//p" <<<"$resource"; }
  [ "$(value FixedFileVersion)" = "$version.0" ] || fail "$program.exe: file version $(value FixedFileVersion)"
  [ "$(value FixedProductVersion)" = "$version.0" ] || fail "$program.exe: product version $(value FixedProductVersion)"
  [ "$(value FileVersion)" = "$version" ] || fail "$program.exe: FileVersion '$(value FileVersion)'"
  [ "$(value ProductVersion)" = "$version" ] || fail "$program.exe: ProductVersion '$(value ProductVersion)'"
  [ "$(value ProductName)" = "Zestrel Cookbook Upgrade" ] || fail "$program.exe: ProductName '$(value ProductName)'"
  [ "$(value OriginalFilename)" = "$program.exe" ] || fail "$program.exe: OriginalFilename '$(value OriginalFilename)'"
  [[ "$(value FileDescription)" == "Zestrel Cookbook Upgrade"* ]] || fail "$program.exe: FileDescription '$(value FileDescription)'"
  [[ "$(value LegalCopyright)" == *"Zestrel developers"*"MIT License"* ]] ||
    fail "$program.exe: LegalCopyright '$(value LegalCopyright)'"
done

# The text files: Windows line ends, the licence and notices as in the sources.
for text in README LICENSE NOTICE; do
  [ "$(grep -c $'\r$' "$folder/$text.txt")" = "$(wc -l <"$folder/$text.txt")" ] || fail "$text.txt has lines without CR LF"
done
cmp -s <(tr -d '\r' <"$folder/LICENSE.txt") "$source_dir/LICENSE" || fail "LICENSE.txt is not the project's LICENSE"
cmp -s <(tr -d '\r' <"$folder/NOTICE.txt") "$source_dir/NOTICE" || fail "NOTICE.txt is not the project's NOTICE"

# The read-me: its version, where backups go, how to undo, and every failure number.
readme="$(tr -d '\r' <"$folder/README.txt")"
grep -q "Zestrel Cookbook Upgrade $version for Windows" <<<"$readme" || fail "README.txt does not name version $version"
for words in 'Where backups go' '%LOCALAPPDATA%\Zestrel' '_backup.rcp' 'How to undo' 'zestrel restore' \
             'When something goes wrong' "$top.zip" "$top-setup.exe"; do
  grep -qF -- "$words" <<<"$readme" || fail "README.txt does not say '$words'"
done
numbers="$(python3 "$here/failure_numbers.py" "$source_dir/src")"
[ "$(wc -l <<<"$numbers")" -gt 10 ] || fail "found only these failure numbers in the sources: $numbers"
failures_text="$(sed -n '/^When something goes wrong/,/^Licence/p' <<<"$readme")"
for number in $numbers; do
  grep -qE "(^|[ ,])$number([ ,:]|$)" <<<"$failures_text" || fail "README.txt does not explain failure $number"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "the zip unpacks into $top/ with versioned programs and a read-me that explains $(wc -l <<<"$numbers") failure numbers"
