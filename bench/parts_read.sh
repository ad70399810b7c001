#!/bin/bash
# What plivet-parts costs to read a drawing against the runner's `open` of
# the same file: instructions of each whole process under callgrind (counts
# that do not drift on a shared machine) and their ratio. The drawing is made
# by ezdxf as bench/dxf_large.sh makes them (default 50,000 entities).
# Usage: bash bench/parts_read.sh [BUILD_DIR] [ENTITIES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
count=${2:-50000}
parts="$build/tools/parts/plivet-parts"
cadsim="$build/tools/cadsim/cadsim"
for program in "$parts" "$cadsim"; do
  [ -x "$program" ] || { echo "no $program: build the release preset first" >&2; exit 2; }
done
command -v valgrind >/dev/null || { echo "valgrind is needed (scripts/install-packages.sh bench)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 tests/dxf/drawings.py large "$work/drawing.dxf" "$count"
printf 'open "drawing.dxf"\n' > "$work/open.cadsim"

# Instructions of a whole run under callgrind. A run that fails (or whose
# count is missing) stops the script with its output: a failed run costs
# fewer instructions and would read as a gain.
instructions() {
  local log="$work/callgrind.log" count
  if ! valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" \
    >"$work/run.out" 2>"$log"; then
    echo "failed under callgrind: $*" >&2
    cat "$work/run.out" "$log" >&2
    exit 1
  fi
  count=$(awk '/Collected :/ { print $NF }' "$log")
  [ -n "$count" ] || { echo "no instruction count for: $*" >&2; cat "$log" >&2; exit 1; }
  echo "$count"
}
audit=$(instructions "$parts" "$work/drawing.dxf")
picture=$(instructions "$parts" --svg "$work/drawing.svg" "$work/drawing.dxf")
open=$(instructions "$cadsim" --no-module "$work/open.cadsim")
echo "$count entities, $(stat -c %s "$work/drawing.dxf") bytes; instructions under callgrind:"
awk -v a="$audit" -v p="$picture" -v o="$open" 'BEGIN {
  printf "  plivet-parts FILE          %13d  %.2f of the runner'"'"'s open\n", a, a / o
  printf "  plivet-parts --svg S FILE  %13d  %.2f\n", p, p / o
  printf "  cadsim --no-module, open   %13d\n", o
}'
