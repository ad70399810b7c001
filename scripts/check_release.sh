#!/usr/bin/env bash
# Checks what users get from scripts/release.sh, as they would use it (as
# root): installs the Debian package into this machine, runs the installed
# runner and parts tool from their installed paths on the demo session and
# the drawing it saves, and removes the package; then unzips the Windows zip
# and replays the same session under wine from the unzipped folder, whose
# dump must match the installed runner's. A missing or broken artifact fails.
#
# Environment: WINE (the wine loader, default wine64 found on the usual paths).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -n 's/^project(plivet VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$root/dist/plivet_${version}_amd64.deb
zip=$root/dist/plivet_${version}_win64.zip
work=$(mktemp -d)
installed=
cleanup() {
  if [ -n "$installed" ]; then
    apt-get purge -y -q plivet >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL  $*" >&2
  exit 1
}

# The demo as it ships, then saved, then dumped, from a folder of the user's.
demo_session() {
  cat "$1"
  printf '\nsave "demo.dxf"\ndump\n'
}

echo "== Debian package $(basename "$deb")"
[ -f "$deb" ] || fail "no $deb; run scripts/release.sh"
if [ "$(dpkg-query -W -f '${Status}' plivet 2>/dev/null)" = "install ok installed" ]; then
  fail "plivet is installed already; remove it first"
fi
export DEBIAN_FRONTEND=noninteractive
installed=yes
apt-get install -y -q "$deb" >"$work/apt.log" 2>&1 || {
  cat "$work/apt.log" >&2
  fail "apt-get could not install the package"
}
[ "$(command -v cadsim)" = /usr/bin/cadsim ] || fail "cadsim is not /usr/bin/cadsim"
[ "$(cadsim --version)" = "cadsim $version" ] || fail "cadsim --version: $(cadsim --version)"
[ "$(plivet-parts --version)" = "plivet-parts $version" ] ||
  fail "plivet-parts --version: $(plivet-parts --version)"
for page in cadsim plivet-parts; do
  [ -f "/usr/share/man/man1/$page.1" ] || fail "no manual page for $page"
done
demo=/usr/share/doc/plivet/examples/demo.cadsim
[ -f "$demo" ] || fail "the package has no $demo"
mkdir "$work/linux"
(cd "$work/linux" && demo_session "$demo" | cadsim >out 2>err) ||
  fail "the installed demo session failed: $(cat "$work/linux/err")"
[ ! -s "$work/linux/err" ] || fail "the installed demo wrote to standard error: $(cat "$work/linux/err")"
grep -qx 'check: no violations' "$work/linux/out" || fail "the installed demo's check found violations"
grep '^{"drawings":' "$work/linux/out" | tail -n 1 >"$work/linux.json"
grep -q "\"generator\":{\"program\":\"cadsim\",\"version\":\"$version\"}" "$work/linux.json" ||
  fail "the installed runner's dump does not say which version wrote it"
(cd "$work/linux" && plivet-parts demo.dxf >parts.out) ||
  fail "plivet-parts on the demo's drawing: $(cat "$work/linux/parts.out")"
# The demo leaves four parts: $10, $20, and the COPY's and EXPLODE's.
grep -q '^demo.dxf: 4 parts, 0 errors' "$work/linux/parts.out" ||
  fail "plivet-parts on the demo's drawing: $(head -n 1 "$work/linux/parts.out")"
echo "ok    installed: cadsim --version, the demo, plivet-parts on its drawing"

apt-get purge -y -q plivet >"$work/apt.log" 2>&1 || {
  cat "$work/apt.log" >&2
  fail "apt-get could not remove the package"
}
installed=
[ ! -e /usr/bin/cadsim ] && [ ! -e /usr/lib/plivet ] &&
  ! dpkg-query -W plivet >/dev/null 2>&1 ||
  fail "files are left after the package is removed"
echo "ok    removed"

echo "== Windows zip $(basename "$zip")"
[ -f "$zip" ] || fail "no $zip; run scripts/release.sh"
unzip -q "$zip" -d "$work/windows" || fail "the zip does not unpack"
folder=$work/windows/plivet_${version}_win64
for file in qormplivet.dll simhost.dll cadsim.exe plivet-parts.exe README.md \
  CHANGELOG.md examples/demo.cadsim; do
  [ -f "$folder/$file" ] || fail "the zip has no $file"
done
wine=${WINE:-}
if [ -z "$wine" ]; then
  for candidate in wine64 /usr/lib/wine/wine64 wine; do
    if command -v "$candidate" >/dev/null 2>&1; then
      wine=$(command -v "$candidate")
      break
    fi
  done
fi
[ -n "$wine" ] || fail "wine64 is not installed"
# The prefix scripts/windows.sh made, or a new one beside it.
export WINEPREFIX=$root/build/windows/wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot.exe --init >"$work/wine-prefix.log" 2>&1 || {
    cat "$work/wine-prefix.log" >&2
    fail "no wine prefix"
  }
fi
mkdir "$work/wine-run"
(cd "$work/wine-run" && demo_session "$folder/examples/demo.cadsim" |
  "$wine" "$folder/cadsim.exe" >out.raw 2>err) ||
  fail "the demo under wine failed: $(cat "$work/wine-run/err")"
tr -d '\r' <"$work/wine-run/out.raw" >"$work/wine-run/out"
[ ! -s "$work/wine-run/err" ] || fail "the demo under wine wrote to standard error: $(cat "$work/wine-run/err")"
grep '^{"drawings":' "$work/wine-run/out" | tail -n 1 >"$work/windows.json"
[ -s "$work/windows.json" ] || fail "no dump from the demo under wine"
cmp -s "$work/linux.json" "$work/windows.json" ||
  fail "the demo's dump under wine differs from the installed runner's"
(cd "$work/wine-run" && "$wine" "$folder/plivet-parts.exe" demo.dxf >parts.raw 2>&1) ||
  fail "plivet-parts.exe on the demo's drawing: $(cat "$work/wine-run/parts.raw")"
tr -d '\r' <"$work/wine-run/parts.raw" | cmp -s - "$work/linux/parts.out" ||
  fail "plivet-parts.exe and the installed plivet-parts disagree"
echo "ok    unzipped: the demo under wine, plivet-parts.exe on its drawing"
