#!/bin/bash
# Times opening and saving a 50,000-entity DXF drawing in the simulated host
# and ezdxf reading the same file, in one run, and prints the ratio.
# Usage: bash bench/dxf_compare.sh [BUILD_DIR]   (default build/release,
# made with `cmake --preset release && cmake --build --preset release`)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
bench="$build/bench/dxf_open_save_bench"
python=/usr/bin/python3   # the system python3 that python3-ezdxf installs into
[ -x "$bench" ] || { echo "no $bench: build the release preset first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file="$work/large.dxf"
"$python" tests/dxf/drawings.py large "$file" 50000
echo "drawing: $file, $(du -h "$file" | cut -f1), 50000 entities"
PLIVET_DXF_BENCH_FILE="$file" "$bench" --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_format=json \
  > "$work/ours.json"
ezdxf_seconds=$("$python" tests/dxf/drawings.py read "$file")
"$python" - "$work/ours.json" "$ezdxf_seconds" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
ms = {b["run_name"]: b["real_time"] for b in runs if b["aggregate_name"] == "median"}
ezdxf_ms = float(sys.argv[2]) * 1000
read, open_, save = ms["BM_ReadDocument"], ms["BM_OpenDrawing"], ms["BM_SaveDrawing"]
print("ours: read %.1f ms, open %.1f ms, save %.1f ms, open+save %.1f ms"
      % (read, open_, save, open_ + save))
print("ezdxf readfile: %.1f ms" % ezdxf_ms)
print("ratio ezdxf read / our open: %.1fx" % (ezdxf_ms / open_))
print("ratio ezdxf read / our open+save: %.1fx" % (ezdxf_ms / (open_ + save)))
PY
