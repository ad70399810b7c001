#!/usr/bin/env bash
# Cross-builds simhost.dll, qormplivet.dll and cadsim.exe for 64-bit Windows,
# checks their export and import tables, then replays every session script
# with cadsim.exe under wine. Each script must end cleanly there and print
# exactly what it prints on Linux, the JSON dump of the final state included.
# Then tests/windows/wine/checks.sh runs the programs from a folder named
# beyond ASCII: scripts by path and through standard input, the files on
# the disk, long paths, UTF-16 scripts and the messages of failures.
#
# Environment: PLIVET_JOBS (build jobs, default nproc), PLIVET_LINUX_BUILD
# (the Linux build folder to compare with, default build/dev), WINE (the
# wine loader, default wine64 found on the usual paths).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${PLIVET_JOBS:-$(nproc)}
linux_build=$(realpath -m "${PLIVET_LINUX_BUILD:-build/dev}")
windows_build=$root/build/windows
windows_bin=$windows_build/bin

echo "== Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

echo "== Linux runner and the tables test"
cmake --preset dev -B "$linux_build" >/dev/null
cmake --build "$linux_build" -j "$jobs" --target cadsim qormplivet windows_tests
PLIVET_WINDOWS_BIN=$windows_bin PLIVET_WINDOWS_REQUIRED=1 \
  "$linux_build/tests/windows_tests" --gtest_brief=1

echo "== Session scripts under wine"
wine=${WINE:-}
if [ -z "$wine" ]; then
  # Debian keeps the 64-bit loader off PATH; its `wine` wrapper complains on
  # standard error when the 32-bit half is missing.
  for candidate in wine64 /usr/lib/wine/wine64 wine; do
    if command -v "$candidate" >/dev/null 2>&1; then
      wine=$(command -v "$candidate")
      break
    fi
  done
fi
if [ -z "$wine" ]; then
  echo "windows.sh: wine64 is not installed" >&2
  exit 1
fi
export WINEPREFIX=$windows_build/wine-prefix
export WINEDEBUG=-all
# No Mono or Gecko installers when the prefix is made; no display is used.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot.exe --init >"$windows_build/wine-prefix.log" 2>&1 || {
    cat "$windows_build/wine-prefix.log" >&2
    exit 1
  }
fi

sessions=$windows_build/sessions
rm -rf "$sessions"
mkdir -p "$sessions"
linux_cadsim=$linux_build/tools/cadsim/cadsim
failed=0
count=0
skipped=0
for script in examples/*.cadsim tests/scripts/*.cadsim tests/windows/*.cadsim; do
  # A Windows DLL allocates through its own copy of the C++ runtime, which
  # the runner's replaced operator new never sees: the module's allocations
  # cannot be failed there (docs/windows.md).
  if grep -q '^fault module-alloc' "$script"; then
    echo "skip  $script: fails the module's allocations, which only Linux can"
    skipped=$((skipped + 1))
    continue
  fi
  count=$((count + 1))
  name=${script//\//_}
  name=${name%.cadsim}
  out=$sessions/$name
  dir=$(dirname "$script")
  file=$(basename "$script")
  # The script goes in on standard input with a final `dump`, run from its
  # own folder so that relative paths resolve as when it is named.
  set +e
  (cd "$dir" && { cat "$file"; printf '\ndump\n'; } | "$linux_cadsim") \
    >"$out.linux.out" 2>"$out.linux.err"
  linux_status=$?
  (cd "$dir" && { cat "$file"; printf '\ndump\n'; } |
    "$wine" "$windows_bin/cadsim.exe") >"$out.windows.raw" 2>"$out.windows.err"
  windows_status=$?
  set -e
  tr -d '\r' <"$out.windows.raw" >"$out.windows.out"
  grep '^{"drawings":' "$out.linux.out" | tail -n 1 >"$out.linux.json" || true
  grep '^{"drawings":' "$out.windows.out" | tail -n 1 >"$out.windows.json" || true

  problems=()
  [ "$linux_status" -eq 0 ] || problems+=("exit status $linux_status on Linux")
  [ "$windows_status" -eq 0 ] ||
    problems+=("exit status $windows_status under wine")
  [ ! -s "$out.linux.err" ] || problems+=("standard error on Linux")
  [ ! -s "$out.windows.err" ] || problems+=("standard error under wine")
  if grep '^check: ' "$out.windows.out" | grep -qv '^check: no violations$'; then
    problems+=("check found violations under wine")
  fi
  [ -s "$out.windows.json" ] || problems+=("no dump under wine")
  if ! cmp -s "$out.linux.json" "$out.windows.json"; then
    problems+=("the dumps differ")
  elif ! cmp -s "$out.linux.out" "$out.windows.out"; then
    problems+=("the transcripts differ")
  fi

  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok    $script"
  else
    failed=$((failed + 1))
    echo "FAIL  $script: $(IFS=';'; echo "${problems[*]}")"
    head -n 20 "$out.windows.err" "$out.linux.err" | sed 's/^/      /'
    diff "$out.linux.out" "$out.windows.out" | head -n 20 | sed 's/^/      /'
  fi
done

echo "$((count - failed)) of $count session scripts match under wine" \
  "($skipped skipped; outputs in ${sessions#"$root"/})"

echo "== Paths, scripts and messages as Windows users meet them"
checks_status=0
bash tests/windows/wine/checks.sh "$wine" "$windows_bin" "$linux_build" \
  "$windows_build/checks" || checks_status=$?
[ "$failed" -eq 0 ] && [ "$checks_status" -eq 0 ]
