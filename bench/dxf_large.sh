#!/bin/bash
# Opens and saves large drawings made with ezdxf (lines, circles, light
# polylines and texts; a fifth tagged, some with a second application's
# xdata) in the runner, one process each, and reports per drawing:
#   peak memory of the run less an empty session's, against the file's size;
#   processor time (user + system) of the run against that of ezdxf's
#   readfile of the same file in a process of its own.
# Not part of CI: ezdxf takes minutes and gigabytes for 2,000,000 entities
# (a drawing is made once, then used again).
# Usage: bash bench/dxf_large.sh [BUILD_DIR] [DRAWINGS_DIR] [COUNT...]
#   BUILD_DIR defaults to build/release; drawings are made once in
#   DRAWINGS_DIR (default /tmp/plivet-large) and used again when present.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
drawings=${2:-/tmp/plivet-large}
shift $(( $# > 2 ? 2 : $# ))
counts=("$@")
# From 100,000 to 2,200,000 entities; sizes just above a power of two
# (530,000, 1,100,000, 2,200,000) stand beside round ones: a structure that
# doubles as it grows peaks there.
[ ${#counts[@]} -gt 0 ] || counts=(100000 500000 530000 1100000 2000000 2200000)
cadsim="$build/tools/cadsim/cadsim"
python=/usr/bin/python3   # the system python3 that python3-ezdxf installs into
[ -x "$cadsim" ] || { echo "no $cadsim: build the release preset first" >&2; exit 2; }
mkdir -p "$drawings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "peak_kb cpu_seconds" of a command, from /usr/bin/time.
measure() {
  /usr/bin/time -f "%M %U %S" -o "$work/time" "$@" > "$work/out" 2>&1 ||
    { cat "$work/out" >&2; exit 1; }
  awk '{ printf "%d %.3f\n", $1, $2 + $3 }' "$work/time"
}

: > "$work/empty.cadsim"
read -r empty_kb _ < <(measure "$cadsim" --no-module "$work/empty.cadsim")
echo "empty session: $empty_kb KiB peak"
printf "%10s %9s %9s %7s %9s %9s %7s %s\n" entities "file MB" "peak MB" "x file" \
  "ours s" "ezdxf s" "ezdxf/us" "time x from previous"
previous=""
for count in "${counts[@]}"; do
  file="$drawings/large_$count.dxf"
  # Made under another name first, so that a run cut short leaves no part
  # of a drawing to be taken for the whole.
  [ -s "$file" ] || { "$python" tests/dxf/drawings.py large "$file.part" "$count" &&
    mv "$file.part" "$file"; }
  printf 'open %s big\nsave %s\n' "$file" "$work/saved.dxf" > "$work/run.cadsim"
  read -r peak_kb ours < <(measure "$cadsim" --no-module "$work/run.cadsim")
  cmp -s "$file" "$work/saved.dxf" ||
    { echo "the saved file differs from $file" >&2; exit 1; }
  read -r _ ezdxf < <(measure "$python" tests/dxf/drawings.py read "$file")
  bytes=$(stat -L -c %s "$file")
  "$python" - "$count" "$bytes" "$peak_kb" "$empty_kb" "$ours" "$ezdxf" \
    "$previous" <<'PY'
import sys
count, size, peak, empty = (int(x) for x in sys.argv[1:5])
ours, ezdxf = float(sys.argv[5]), float(sys.argv[6])
used = (peak - empty) * 1024
growth = ""
if sys.argv[7]:
    before_count, before_time = sys.argv[7].split(":")
    growth = "%.2f for %.1fx the entities" % (
        ours / float(before_time), count / int(before_count))
print("%10d %9.1f %9.1f %7.2f %9.2f %9.2f %7.1f %s" % (
    count, size / 1e6, used / 1e6, used / size, ours, ezdxf, ezdxf / ours,
    growth))
PY
  previous="$count:$ours"
  echo "$count $ours" >> "$work/times"
done
# The growth asked of a tool that scales: 500,000 to 2,000,000 entities.
awk '$1 == 500000 { a = $2 } $1 == 2000000 { b = $2 }
     END { if (a > 0 && b > 0) printf "growth 500000 -> 2000000: %.2f\n", b / a }' \
  "$work/times"
