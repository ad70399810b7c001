#!/usr/bin/env bash
# Checks the formatting of every C++ file against .clang-format, the
# dependency rule on every include (scripts/check_layers.sh), then runs
# clang-tidy (.clang-tidy: bugs, speed, function size, member names) over the
# code that ships: the module, the host layer, the DXF library and the tools.
# Tests, benchmarks and fuzz targets are formatted but not tidied: their long
# table-driven bodies are the point.
# Needs the dev build's compile_commands.json (bash scripts/test.sh makes it)
# and Debian's clang-format and clang-tidy.
#   bash scripts/lint.sh [BUILD_DIR]   (default build/dev)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
jobs=$(nproc)

echo "== clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== dependency rule"
bash scripts/check_layers.sh

echo "== clang-tidy"
if [ ! -f "$build/compile_commands.json" ]; then
  echo "lint: $build/compile_commands.json is missing; build the dev preset first" >&2
  exit 2
fi
git ls-files 'host/*.cpp' 'dxf/*.cpp' 'text/*.cpp' 'identity/*.cpp' 'watcher/*.cpp' \
    'module/*.cpp' 'tools/*.cpp' |
  xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet >build/clang-tidy.log 2>&1 ||
  status=$?
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' build/clang-tidy.log || true
if [ "${status:-0}" != 0 ] || grep -q -E '(warning|error):' build/clang-tidy.log; then
  echo "lint: clang-tidy found the problems above" >&2
  exit 1
fi
echo "lint: clean"
