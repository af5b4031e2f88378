#!/usr/bin/env bash
# Makes the Debian package from the built tree (into BUILD_DIR/package, where the
# test deb_lintian reads it), unpacks it into a scratch root and checks what an
# installed program needs: its files, dependencies, desktop entry, file type,
# metainfo, icons, manual pages, copyright and changelog, and that the unpacked
# programs run (a sample cookbook upgraded into the per-user data folder, the
# window started offscreen with a cookbook).
#   deb_package_test.sh BUILD_DIR VERSION
# Exits 77 (skipped) when a packaging tool is missing; scripts/setup.sh installs them.
set -uo pipefail
build="$(cd "$1" && pwd)"
version="$2"

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli update-mime-database; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/setup.sh installs it)"
    exit 77
  fi
done

scratch="$(mktemp -d "${TMPDIR:-/tmp}/zestrel-deb.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...
  local what="$1"
  shift
  "$@" >"$scratch/out" 2>&1 || {
    fail "$what"
    cat "$scratch/out"
  }
}

source "$(dirname "$0")/make_package.sh"
deb_name="zestrel_${version}_$(dpkg --print-architecture).deb"
make_package DEB "$build" "$deb_name"
deb="$build/package/$deb_name"

# Dependencies: the Qt 6 libraries the programs link, and the platform plugins the window opens with.
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for package in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins libc6 libstdc++6; do
  [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] || fail "Depends lacks $package"
done
[ "$(dpkg-deb -f "$deb" Package)" = zestrel ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
[[ "$(dpkg-deb -f "$deb" Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^@\>]+\>$ ]] || fail "Maintainer has no address"
# Every line of the control file's description fits in 80 columns; the summary is short.
description="$(dpkg-deb -f "$deb" Description)"
summary="$(head -n 1 <<<"$description")"
[ "${#summary}" -lt 80 ] || fail "the summary is ${#summary} characters long"
[ "$(wc -l <<<"$description")" -gt 2 ] || fail "the package has no long description"
long_line="$(awk 'length > 80' <<<"$description")"
[ -z "$long_line" ] || fail "description lines over 80 columns: $long_line"

root="$scratch/root"
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
usr="$root/usr"
share="$usr/share"
expected=(bin/zestrel bin/zestrel-upgrade
          share/applications/zestrel-upgrade.desktop
          share/mime/packages/zestrel-cookbook.xml
          share/metainfo/org.zestrel.cookbook_upgrade.metainfo.xml
          share/doc/zestrel/copyright share/doc/zestrel/changelog.gz share/lintian/overrides/zestrel
          share/icons/hicolor/scalable/apps/zestrel-upgrade.svg
          share/man/man1/zestrel.1.gz share/man/man1/zestrel-upgrade.1.gz)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/zestrel-upgrade.png")
done
for file in "${expected[@]}"; do
  [ -f "$usr/$file" ] || fail "the package lacks /usr/$file"
done
# Nothing outside /usr, and nothing in it that is not listed above.
unexpected="$(cd "$root" && find . -type f | sed 's|^\./usr/||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))"
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"

# Icons: each PNG is as large as the folder it is installed in says.
for size in 16 22 24 32 48 64 128 256; do
  png="$share/icons/hicolor/${size}x${size}/apps/zestrel-upgrade.png"
  [ -f "$png" ] || continue
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$width x $height" = "$size x $size" ] || fail "icon ${size}x${size} is $width x $height"
done

# The desktop entry: valid, starting the installed window program with the file, naming the icon and the type.
desktop="$share/applications/zestrel-upgrade.desktop"
check "desktop-file-validate" desktop-file-validate "$desktop"
grep -qx 'Exec=zestrel-upgrade %f' "$desktop" || fail "desktop entry: Exec is not 'zestrel-upgrade %f'"
grep -qx 'Icon=zestrel-upgrade' "$desktop" || fail "desktop entry: Icon is not zestrel-upgrade"
mime_type="$(sed -n 's/^MimeType=\(.*\);$/\1/p' "$desktop")"
[ "$mime_type" = application/x-zestrel-cookbook ] || fail "desktop entry: MimeType is '$mime_type'"

# The file type: the system's database of types, with ours added, maps *.rcp to the type the entry opens.
mkdir -p "$scratch/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$share/mime/packages/zestrel-cookbook.xml" "$scratch/mime/packages/"
check "update-mime-database" update-mime-database "$scratch/mime"
grep -q ":$mime_type:\*\.rcp" "$scratch/mime/globs2" || fail "*.rcp is not of type $mime_type"
grep -qx "$mime_type application/vnd.ms-access" "$scratch/mime/subclasses" ||
  fail "$mime_type is not a kind of Jet database"

# The metainfo validates and launches the installed desktop entry.
metainfo="$share/metainfo/org.zestrel.cookbook_upgrade.metainfo.xml"
check "appstreamcli validate" appstreamcli validate --no-net --pedantic "$metainfo"
grep -q "<id>org.zestrel.cookbook_upgrade</id>" "$metainfo" || fail "metainfo: the id is not org.zestrel.cookbook_upgrade"
grep -q "<project_license>MIT</project_license>" "$metainfo" || fail "metainfo: the licence is not MIT"
grep -q "<screenshot type=\"default\">" "$metainfo" || fail "metainfo: no default screenshot"
grep -q "<launchable type=\"desktop-id\">zestrel-upgrade.desktop</launchable>" "$metainfo" ||
  fail "metainfo does not launch zestrel-upgrade.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo does not name release $version"

# The manual pages are the ones the build wrote (the test manual_pages reads those), compressed.
for page in zestrel zestrel-upgrade; do
  cmp -s <(gzip -dc "$share/man/man1/$page.1.gz" 2>/dev/null) "$build/man/$page.1" ||
    fail "the package's $page.1 is not the built page"
done

# The copyright file is machine-readable and names the licence; the changelog is Debian's form for
# this version, compressed without a name or time (gzip -n) as Debian's tools do it.
copyright="$share/doc/zestrel/copyright"
head -n 1 "$copyright" 2>/dev/null | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
grep -q '^License: Expat$' "$copyright" 2>/dev/null || fail "the copyright file does not give the licence"
changelog="$share/doc/zestrel/changelog.gz"
gzip -dc "$changelog" >"$scratch/changelog" 2>/dev/null
check "dpkg-parsechangelog" dpkg-parsechangelog -l "$scratch/changelog"
[ "$(dpkg-parsechangelog -l "$scratch/changelog" -S Version 2>/dev/null)" = "$version" ] ||
  fail "the changelog's newest entry is not version $version"
[ "$(od -An -tu1 -j4 -N4 "$changelog" | tr -s ' ')" = " 0 0 0 0" ] || fail "the changelog.gz carries a time stamp"

# The unpacked programs run. Home is a scratch folder; the program's folder is its own default there.
home="$scratch/home"
mkdir -p "$home"
run() { env -u XDG_DATA_HOME -u ZESTREL_PROGRAM_FOLDER -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" "$@"; }
[ "$(run "$usr/bin/zestrel" --version)" = "zestrel $version" ] || fail "zestrel --version"
[ "$(run "$usr/bin/zestrel-upgrade" --version)" = "zestrel-upgrade $version" ] || fail "zestrel-upgrade --version (no display)"
cookbook="$scratch/family.rcp"
check "zestrel sample" run "$usr/bin/zestrel" sample --layout 1.0 --recipes 3 --ingredients-per-recipe 2 "$cookbook"
cp "$cookbook" "$scratch/original.rcp"
if run "$usr/bin/zestrel" upgrade "$cookbook" >"$scratch/upgrade.log" 2>&1; then
  backup="$home/.local/share/zestrel/Backup/family_backup.rcp"
  cmp -s "$backup" "$scratch/original.rcp" || fail "the backup is not in $backup"
  grep -qF "$backup" "$scratch/upgrade.log" || fail "the success message does not name $backup"
  [ "$(stat -c %a "$home/.local/share/zestrel")" = 700 ] || fail "the program's folder is not private to its owner"
  [ ! -e "$usr/bin/tempdb.mdb" ] && [ ! -e "$usr/bin/Backup" ] || fail "files were written beside the executable"
  run "$usr/bin/zestrel" version "$cookbook" 2>/dev/null | grep -q "version 1.3, up to date" || fail "the upgraded cookbook is not 1.3"
else
  fail "zestrel upgrade"
  cat "$scratch/upgrade.log"
fi

# The window starts offscreen, without a cookbook and with one given on the command line; the
# cookbook shows in the picture (its path in the path box, its version in the status bar).
run "$usr/bin/zestrel" sample --layout 1.1 --recipes 1 "$scratch/other.rcp" >/dev/null
for shot in plain:"" given:"$scratch/other.rcp"; do
  name="${shot%%:*}"
  file="${shot#*:}"
  if run env QT_QPA_PLATFORM=offscreen timeout 60 "$usr/bin/zestrel-upgrade" --screenshot "$scratch/$name.png" \
       ${file:+"$file"} >"$scratch/window.log" 2>&1; then
    [ -s "$scratch/$name.png" ] || fail "the window ($name) saved no picture"
  else
    fail "zestrel-upgrade offscreen ($name)"
    cat "$scratch/window.log"
  fi
done
if [ -s "$scratch/plain.png" ] && cmp -s "$scratch/plain.png" "$scratch/given.png"; then
  fail "the window shows nothing of the cookbook given on its command line"
fi
run env QT_QPA_PLATFORM=offscreen "$usr/bin/zestrel-upgrade" --no-such-option >/dev/null 2>&1
[ $? -eq 2 ] || fail "zestrel-upgrade takes an unknown option"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all package checks passed"
