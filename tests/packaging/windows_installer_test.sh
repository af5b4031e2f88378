#!/usr/bin/env bash
# The Windows installer, made from the built tree (into BUILD_DIR/package) and run
# under wine in a wine prefix of its own, as a user would: a silent install; the
# files in Program Files\Zestrel, the Start-menu entry, the .rcp file type and the
# entry in Add or Remove Programs; the program's folder on the user's Path, so that
# a new command prompt runs zestrel, which expands "*.rcp" itself; the installed
# zestrel.exe upgrades a cookbook and keeps the backup in %LOCALAPPDATA%\Zestrel,
# writing nothing beside itself; a silent uninstall closes a window left open,
# removes what the installer added (the Path entry too) and leaves the backup.
#   windows_installer_test.sh BUILD_DIR VERSION
# Exits 77 (skipped) when makensis, wine or python3 is missing.
set -uo pipefail
build="$(cd "$1" && pwd)"
version="$2"
for tool in cpack makensis wine wineserver python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed (scripts/setup.sh installs it)"; exit 77; }
done
scratch="$(mktemp -d "${TMPDIR:-/tmp}/zestrel-installer.XXXXXX")"
# A prefix of its own: the install touches nothing of the other tests' wine, nor the real home
# (no Linux menu entries or file types from wine's menu builder, no mono or gecko to fetch).
export WINEPREFIX="$scratch/prefix" HOME="$scratch/home" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"
trap 'wineserver -k 2>/dev/null; rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
windows() { echo "Z:${1//\//\\}"; }
# Runs a wine program and waits until every wine process of the prefix has ended (an uninstaller
# goes on in a copy of itself), so that the registry is on disk.
run() { wine "$@"; local status=$?; wineserver -w; return $status; }
# The value NAME ("" for the default) of KEY under HKEY_LOCAL_MACHINE, as wine keeps it on disk;
# "<none>" when the key or the value does not exist. user_registry: the same under HKEY_CURRENT_USER.
registry() { registry_in "$WINEPREFIX/system.reg" "$@"; }
user_registry() { registry_in "$WINEPREFIX/user.reg" "$@"; }
registry_in() {
  python3 - "$1" "$2" "$3" <<'PYTHON'
import re, sys
path, key, name = sys.argv[1], sys.argv[2].lower(), sys.argv[3]
wanted = '@' if name == '' else '"' + name.replace('\\', '\\\\').replace('"', '\\"') + '"'
inside = False
for line in open(path, encoding='utf-8', errors='replace'):
    line = line.rstrip('\n')
    if line.startswith('['):
        inside = line[1:line.index(']')].replace('\\\\', '\\').lower() == key
    elif inside and line.startswith(wanted + '='):
        value = line[len(wanted) + 1:]
        for kind in ('str:', 'str(2):'):
            if value.startswith(kind):
                value = value[len(kind):]
        print(re.sub(r'\\(.)', r'\1', value[1:-1]) if value.startswith('"') else value)
        sys.exit(0)
print('<none>')
PYTHON
}

source "$(dirname "$0")/make_package.sh"
make_package NSIS "$build" "zestrel-$version-windows-x64-setup.exe"
installer="$build/package/zestrel-$version-windows-x64-setup.exe"

# Install silently (the first wine start also creates the prefix).
run "$installer" /S >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log"; fail "the silent install failed"; }
drive_c="$WINEPREFIX/drive_c"
installed="$drive_c/Program Files/Zestrel"
expected="LICENSE.txt NOTICE.txt README.txt Uninstall.exe installed.txt zestrel-upgrade.exe zestrel.exe "
[ "$(ls "$installed" 2>/dev/null | sort | tr '\n' ' ')" = "$expected" ] ||
  fail "Program Files\\Zestrel holds: $(ls "$installed" 2>/dev/null | tr '\n' ' ')"
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zestrel Cookbook Upgrade"
strings -a "$menu/Zestrel Cookbook Upgrade.lnk" 2>/dev/null | grep -qxF 'C:\Program Files\Zestrel\zestrel-upgrade.exe' ||
  fail "no Start-menu entry for the window: $(ls "$menu" 2>&1 | tr '\n' ' ')"

program='C:\Program Files\Zestrel\zestrel-upgrade.exe'
classes='Software\Classes'
[ "$(registry "$classes\\.rcp" '')" = Zestrel.Cookbook ] || fail ".rcp is not of the type Zestrel.Cookbook"
[ "$(registry "$classes\\Zestrel.Cookbook\\shell\\open" '')" = "Open with Zestrel Cookbook Upgrade" ] ||
  fail "the type's verb is '$(registry "$classes\\Zestrel.Cookbook\\shell\\open" '')'"
[ "$(registry "$classes\\Zestrel.Cookbook\\shell\\open\\command" '')" = "\"$program\" \"%1\"" ] ||
  fail "opening a cookbook runs '$(registry "$classes\\Zestrel.Cookbook\\shell\\open\\command" '')'"
[ "$(registry "$classes\\SystemFileAssociations\\.rcp\\shell\\ZestrelUpgrade\\command" '')" = "\"$program\" \"%1\"" ] ||
  fail "no 'Open with Zestrel Cookbook Upgrade' on every .rcp"
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Zestrel'
[ "$(registry "$uninstall_key" DisplayName)" = "Zestrel Cookbook Upgrade" ] || fail "no entry in Add or Remove Programs"
[ "$(registry "$uninstall_key" DisplayVersion)" = "$version" ] || fail "the uninstall entry's version is not $version"
[ "$(registry "$uninstall_key" UninstallString)" = '"C:\Program Files\Zestrel\Uninstall.exe"' ] ||
  fail "the uninstall entry runs '$(registry "$uninstall_key" UninstallString)'"

# The installed program: its version, then an upgrade with nothing set, so that the program
# chooses its own folder.
zestrel="$installed/zestrel.exe"
[[ "$(wine "$zestrel" --version 2>&1 | tr -d '\r')" == *"$version"* ]] || fail "the installed zestrel.exe --version"
cookbook="$scratch/family.rcp"
wine "$zestrel" sample --layout 1.0 --recipes 3 --ingredients-per-recipe 2 "$(windows "$cookbook")" >/dev/null 2>&1
cp "$cookbook" "$scratch/original.rcp" 2>/dev/null
user="$(ls "$drive_c/users" | grep -vx Public | head -n 1)"
backup="$drive_c/users/$user/AppData/Local/Zestrel/Backup/family_backup.rcp"
if env -u ZESTREL_PROGRAM_FOLDER wine "$zestrel" upgrade "$(windows "$cookbook")" >"$scratch/upgrade.log" 2>&1; then
  cmp -s "$backup" "$scratch/original.rcp" || fail "the backup is not in %LOCALAPPDATA%\\Zestrel\\Backup: $(cat "$scratch/upgrade.log")"
  grep -qF 'AppData\Local\Zestrel\Backup\family_backup.rcp' "$scratch/upgrade.log" || fail "the message does not name the backup"
else
  cat "$scratch/upgrade.log"
  fail "the installed zestrel.exe could not upgrade a cookbook"
fi
wineserver -w
[ "$(ls "$installed" 2>/dev/null | sort | tr '\n' ' ')" = "$expected" ] ||
  fail "the installed program wrote beside itself: $(ls "$installed" | tr '\n' ' ')"

# The program's folder is on the user's Path, once, and a new command prompt finds zestrel there;
# zestrel expands "*.rcp" and "?" itself, as Windows programs do.
path_value="$(user_registry 'Environment' Path)"
[[ ";$path_value;" == *";C:\Program Files\Zestrel;"* ]] || fail "the user's Path is '$path_value'"
books="$scratch/books"
mkdir -p "$books"
for name in soup stew; do
  wine "$zestrel" sample --layout 1.1 --recipes 2 --ingredients-per-recipe 1 "$(windows "$books/$name.rcp")" >/dev/null 2>&1
done
wineserver -w
prompt="$(wine cmd /c "zestrel --version" 2>&1 | tr -d '\r')"
[[ "$prompt" == *"$version"* ]] || fail "a new command prompt does not find zestrel: $prompt"
listed="$(wine cmd /c "cd /d $(windows "$books") && zestrel upgrade --dry-run *.rcp && zestrel version s??p.rcp" 2>&1 | tr -d '\r')"
for name in soup stew; do
  [[ "$listed" == *"$name.rcp"* ]] || fail "zestrel upgrade --dry-run *.rcp in cmd did not take $name.rcp: $listed"
done
[[ "$listed" == *"soup.rcp: version 1.1"* ]] || fail "zestrel version s??p.rcp in cmd: $listed"
[[ "$listed" != *"no such file"* ]] || fail "a wildcard reached zestrel unexpanded: $listed"
wineserver -w

# A window left open is closed by the uninstaller (on a virtual display of its own).
if command -v Xvfb >/dev/null; then
  exec 3<> "$scratch/display"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -1 "$scratch/display")"
  wine "$installed/zestrel-upgrade.exe" >/dev/null 2>&1 &
  window=$!
  sleep 5  # until the window is up
  kill -0 "$window" 2>/dev/null || fail "the installed window program did not start"
fi

# Uninstall silently: what the installer added goes, the backups stay.
run "$installed/Uninstall.exe" /S >"$scratch/uninstall.log" 2>&1 || { cat "$scratch/uninstall.log"; fail "the silent uninstall failed"; }
if [ -n "${xvfb:-}" ]; then
  ! kill -0 "$window" 2>/dev/null || { fail "the window is still open after the uninstall"; kill "$window"; }
  kill "$xvfb" 2>/dev/null
  unset DISPLAY
fi
path_value="$(user_registry 'Environment' Path)"
[[ "$path_value" != *'Zestrel'* ]] || fail "the uninstall left the user's Path '$path_value'"
[ ! -e "$installed" ] || fail "Program Files\\Zestrel is left with: $(ls "$installed" | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the Start-menu entry is left"
for key in "$classes\\Zestrel.Cookbook\\shell\\open\\command" "$classes\\SystemFileAssociations\\.rcp\\shell\\ZestrelUpgrade\\command"; do
  [ "$(registry "$key" '')" = "<none>" ] || fail "the registry keeps $key"
done
[ "$(registry "$classes\\.rcp" '')" = "<none>" ] || fail ".rcp is still of the type '$(registry "$classes\\.rcp" '')'"
[ "$(registry "$uninstall_key" DisplayName)" = "<none>" ] || fail "the entry in Add or Remove Programs is left"
cmp -s "$backup" "$scratch/original.rcp" || fail "the uninstaller removed the backup"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed, used, uninstalled; the backup stayed in %LOCALAPPDATA%\\Zestrel"
