#!/usr/bin/env bash
# What a Windows user meets beyond a session's dump, checked under wine with
# the Windows programs copied into a folder named beyond ASCII: scripts run
# by path (as drag and drop runs them) and through standard input, files
# and folders on the disk under the names the scripts gave, paths past 260
# characters, a Ctrl-Z byte, UTF-16 scripts, backslashes in quotes, and
# failures in the system's own words. Outputs are compared with the Linux
# programs' where the platforms must agree. Run by scripts/windows.sh:
#   bash tests/windows/wine/checks.sh WINE WINDOWS_BIN LINUX_BUILD SCRATCH
# with WINEPREFIX and WINEDEBUG set.
set -uo pipefail
wine=$1
windows_bin=$2
linux_build=$3
scratch=$4
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
linux_cadsim=$linux_build/tools/cadsim/cadsim
linux_parts=$linux_build/tools/parts/plivet-parts

failed=0
count=0
# check NAME CONDITION: CONDITION is shell text, evaluated here.
check() {
  count=$((count + 1))
  if eval "$2"; then
    echo "ok    $1"
  else
    failed=$((failed + 1))
    echo "FAIL  $1"
    [ -z "${err:-}" ] || echo "$err" | head -n 5 | sed 's/^/      /'
  fi
}
# The Windows form of an absolute Unix path: wine maps drive Z: to /.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# Runs a Windows program in folder $1; standard output (carriage returns
# dropped) in $out, standard error in $err, the status in $status.
run_wine() {
  local folder=$1
  shift
  (cd "$folder" && "$wine" "$@") >"$scratch/raw" 2>"$scratch/err"
  status=$?
  out=$(tr -d '\r' <"$scratch/raw")
  err=$(tr -d '\r' <"$scratch/err")
}
run_linux() {
  local folder=$1
  shift
  linux_out=$(cd "$folder" && "$@" 2>"$scratch/linux.err")
  linux_status=$?
  linux_err=$(cat "$scratch/linux.err")
}
# The names in folder $1, one a line, sorted: a temporary file left behind
# or a name decoded twice shows here.
names_in() { (cd "$1" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort); }
same() { [ "$1" = "$2" ] || { diff <(echo "$1") <(echo "$2") | head -n 10 | sed 's/^/      /'; return 1; }; }

rm -rf "$scratch"
mkdir -p "$scratch"
app="$scratch/Jürgen PLIVET 插件 Ωmega"
linux_app="$scratch/linux/Jürgen PLIVET 插件 Ωmega"
mkdir -p "$app" "$linux_app"
cp "$windows_bin"/cadsim.exe "$windows_bin"/plivet-parts.exe \
  "$windows_bin"/qormplivet.dll "$windows_bin"/simhost.dll "$app/"

# Names beyond ASCII: the module found beside the runner in such a folder,
# the script named by its full path and sent through standard input.
prepare_names() {
  local folder=$1
  rm -rf "$folder/插件" "$folder/Zeichnung ä.dxf"
  mkdir -p "$folder/插件"
  cp "$root/examples/parts.dxf" "$folder/Plan ö.dxf"
  cp "$here/names_beyond_ascii.cadsim" "$folder/names.cadsim"
}
prepare_names "$linux_app"
run_linux "$linux_app" "$linux_cadsim" names.cadsim
expected_names=$(printf '%s\n' names.cadsim 'Plan ö.dxf' 'Zeichnung ä.dxf' \
  插件 '插件/Ωmega 図面.dxf' | LC_ALL=C sort)
for route in path stdin; do
  prepare_names "$app"
  if [ "$route" = path ]; then
    run_wine "$app" "$app/cadsim.exe" "$(windows_path "$app/names.cadsim")"
  else
    run_wine "$app" "$app/cadsim.exe" <"$app/names.cadsim"
  fi
  check "names beyond ASCII, script by $route: ends cleanly" \
    '[ "$status" -eq 0 ] && [ -z "$err" ] && [ "$linux_status" -eq 0 ]'
  check "names beyond ASCII, script by $route: the Linux transcript" \
    'same "$out" "$linux_out"'
  names=$(names_in "$app" | grep -v -e '\.exe$' -e '\.dll$')
  check "names beyond ASCII, script by $route: the files' names on disk" \
    'same "$names" "$expected_names"'
done

# No module beside the runner: the load error names the place beside it,
# in the system's words, never a folder of the machine that built it.
bare="$scratch/ohne Modul ü"
mkdir -p "$bare"
cp "$windows_bin"/cadsim.exe "$windows_bin"/simhost.dll "$bare/"
run_wine "$bare" "$bare/cadsim.exe" <<<"echo unreachable"
beside="cannot load module \"$(windows_path "$bare")\\qormplivet.dll\": "
check "no module beside the runner: named beside it, with the reason" \
  '[ "$status" -eq 2 ] && [[ "$err" == "$beside"?*" (error 126)" ]]'

# The parts tool: names beyond ASCII in and out, the same report as Linux.
cp "$root/examples/parts.dxf" "$app/図面.dxf"
cp "$root/examples/parts.dxf" "$linux_app/図面.dxf"
run_wine "$app" "$app/plivet-parts.exe" --json --svg 部品.svg 図面.dxf
run_linux "$linux_app" "$linux_parts" --json --svg 部品.svg 図面.dxf
check "parts tool: 図面.dxf read, the Linux report" \
  '[ "$status" -eq 0 ] && same "$out" "$linux_out"'
check "parts tool: 部品.svg written under its name" \
  'cmp -s "$app/部品.svg" "$linux_app/部品.svg"'

# Paths past 260 characters: saved twice (the second replaces the first),
# opened again, and nothing left beside the drawing.
segment=Ordner-mit-einem-langen-Namen-ä-0123456789-0123456789-0123456789-0123456789
deep="$segment/$segment/$segment/$segment"
mkdir -p "$app/$deep"
printf '%s\n' 'add L1 LINE' 'xdata L1 $10 1000:"lang"' \
  "save \"$deep/Zeichnung.dxf\"" 'command COPY L1' \
  "save \"$deep/Zeichnung.dxf\"" "open \"$deep/Zeichnung.dxf\" again" \
  'expect records 1' >"$app/long.cadsim"
full="$(windows_path "$app/$deep")\\Zeichnung.dxf"
run_wine "$app" "$app/cadsim.exe" long.cadsim
check "a path of ${#full} characters: saved over and opened" \
  '[ "$status" -eq 0 ] && [ -z "$err" ] && [ "${#full}" -gt 300 ]'
check "a path of ${#full} characters: no temporary file left" \
  'same "$(names_in "$app/$deep")" Zeichnung.dxf'
# The module loaded from there too, named on the command line.
cp "$windows_bin/qormplivet.dll" "$app/$deep/"
run_wine "$app" "$app/cadsim.exe" --module "$deep/qormplivet.dll" \
  <<<'expect loaded'
check "a path of over 300 characters: --module loads from it" \
  '[ "$status" -eq 0 ] && [ -z "$err" ]'
rm "$app/$deep/qormplivet.dll"

# A Ctrl-Z byte: refused as on Linux, through standard input and by path.
printf 'echo one\n\032\necho two\n' >"$app/ctrl-z.cadsim"
run_linux "$app" "$linux_cadsim" ctrl-z.cadsim
for route in path stdin; do
  if [ "$route" = path ]; then
    run_wine "$app" "$app/cadsim.exe" ctrl-z.cadsim
  else
    run_wine "$app" "$app/cadsim.exe" <"$app/ctrl-z.cadsim"
  fi
  check "a Ctrl-Z byte by $route: refused as on Linux" \
    '[ "$status" -eq 2 ] && [ "$linux_status" -eq 2 ] && [ -n "$err" ] &&
     same "$err" "$linux_err"'
done

# UTF-16 scripts, both byte orders, read as their text.
utf8_script=$'echo Größe 𝄞 配管\r\nadd L1 LINE\r\nexpect L1 tag none\r\necho done\r\n'
printf '%s' "$utf8_script" >"$app/utf8.cadsim"
run_linux "$app" "$linux_cadsim" utf8.cadsim
for order in LE BE; do
  { if [ $order = LE ]; then printf '\377\376'; else printf '\376\377'; fi
    printf '%s' "$utf8_script" | iconv -f UTF-8 -t UTF-16$order; } \
    >"$app/utf16$order.cadsim"
  for route in path stdin; do
    if [ "$route" = path ]; then
      run_wine "$app" "$app/cadsim.exe" "utf16$order.cadsim"
    else
      run_wine "$app" "$app/cadsim.exe" <"$app/utf16$order.cadsim"
    fi
    check "UTF-16 $order script by $route: read as its text" \
      '[ "$status" -eq 0 ] && [ -n "$linux_out" ] && same "$out" "$linux_out"'
  done
done

# Backslashes in quotes read as written: a relative folder, and the \\?\
# form of an absolute path.
mkdir -p "$app/sub"
long_form="\\\\?\\$(windows_path "$app")\\sub\\Plan 2.dxf"
printf '%s\n' 'add L1 LINE' 'save "sub\Plan 1.dxf"' \
  "save \"$long_form\"" 'echo saved' >"$app/backslashes.cadsim"
run_wine "$app" "$app/cadsim.exe" backslashes.cadsim
check "backslashes in quotes: the paths as written" \
  '[ "$status" -eq 0 ] && same "$(names_in "$app/sub")" "$(printf "Plan 1.dxf\nPlan 2.dxf")"'

# Failures that say why: a device's name, a read-only drawing, a file that
# is no DLL.
printf 'add L1 LINE\nsave "aux.dxf"\n' >"$app/device.cadsim"
run_wine "$app" "$app/cadsim.exe" device.cadsim
device_message='line 2: cannot save "aux.dxf": AUX is a device on Windows'
check "a device's name: named as such" \
  '[ "$status" -eq 2 ] && [[ "$err" == "$device_message"* ]]'
readonly_folder="$app/schreibgeschützt"
mkdir -p "$readonly_folder"
printf 'kept\n' >"$readonly_folder/plan.dxf"
chmod 444 "$readonly_folder/plan.dxf"
printf 'add L1 LINE\nsave "schreibgeschützt/plan.dxf"\n' >"$app/readonly.cadsim"
run_wine "$app" "$app/cadsim.exe" readonly.cadsim
readonly_message='cannot save "schreibgeschützt/plan.dxf": the file is read-only'
check "a read-only drawing: refused, kept, nothing left beside it" \
  '[ "$status" -eq 2 ] && [[ "$err" == *"$readonly_message"* ]] &&
   [ "$(cat "$readonly_folder/plan.dxf")" = kept ] &&
   same "$(names_in "$readonly_folder")" plan.dxf'
chmod 644 "$readonly_folder/plan.dxf"
# Another program holds the drawing open: cmd.exe appends the runner's own
# output to it, sharing it for reading and writing but not for replacing.
printf 'kept\n' >"$app/held.dxf"
printf 'add L1 LINE\nsave held.dxf\n' >"$app/held.cadsim"
names_before=$(names_in "$app")
run_wine "$app" cmd.exe /c "cadsim.exe held.cadsim >> held.dxf"
held_message='line 2: cannot save "held.dxf": cannot replace "held.dxf": '
check "a drawing held open: the system's words, nothing left beside it" \
  '[ "$status" -eq 2 ] && [[ "$err" == "$held_message"[A-Za-z]* ]] &&
   [ "$(head -n 1 "$app/held.dxf")" = kept ] &&
   same "$(names_in "$app")" "$names_before"'
printf 'load "names.cadsim"\n' >"$app/not-a-dll.cadsim"
run_wine "$app" "$app/cadsim.exe" --no-module not-a-dll.cadsim
load_message='line 1: cannot load "names.cadsim": '
check "a file that is no DLL: the system's words and its number" \
  '[ "$status" -eq 2 ] && [[ "$err" == "$load_message"[A-Za-z]*" (error 193)" ]]'

echo "$((count - failed)) of $count Windows checks pass under wine"
[ "$failed" -eq 0 ]
