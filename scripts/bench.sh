#!/usr/bin/env bash
# Builds the release preset, runs the benchmark suites and prints their
# tables: the pending groups alone, then every copy scenario with the module
# watching and stopped, then the instructions per copy under callgrind.
# Full benchmark logs go to build/release/bench-*.log.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release
jobs=${JOBS:-2}

cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" \
  --target pending_groups_bench module_cost_bench >/dev/null

# The table a suite prints after its runs: from its title to the end.
table() { sed -n "/^$1/,\$p" "$2"; }

"$build/bench/pending_groups_bench" >"$build/bench-pending-groups.log" 2>&1
table "Pending groups" "$build/bench-pending-groups.log"
echo
"$build/bench/module_cost_bench" >"$build/bench-module-cost.log" 2>&1
table "Module watching" "$build/bench-module-cost.log"
echo

if ! command -v valgrind >/dev/null; then
  echo "valgrind not found: no instruction counts"
  exit 0
fi
# Only the timed command is instrumented (the benchmark switches callgrind on
# and off around it), so the count is the command's alone.
instructions() {
  local out="$build/callgrind.$1.out"
  valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out" \
    "$build/bench/module_cost_bench" --quick \
    --benchmark_filter="copy_parts_of_10/N:10000/$1" >/dev/null 2>&1
  awk '/^totals:/ { print $2 }' "$out"
}
copies=10000
watching=$(instructions watching)
stopped=$(instructions stopped)
# What the module's own code runs, apart from the host calls it makes: the
# rest of the difference is the host working for the module.
own=$(callgrind_annotate --auto=no --threshold=100 \
  "$build/callgrind.watching.out" |
  awk '/\[[^]]*qormplivet[^]]*\]$/ { gsub(",", "", $1); sum += $1 }
       END { print sum + 0 }')
echo "Instructions per copy under callgrind: COPY of $copies entities, parts of 10"
echo
printf '| %-8s | %14s | %10s |\n' mode instructions "per copy"
printf '| :------- | -------------: | ---------: |\n'
printf '| %-8s | %14s | %10d |\n' stopped "$stopped" $((stopped / copies))
printf '| %-8s | %14s | %10d |\n' watching "$watching" $((watching / copies))
printf '| %-8s | %14s | %10d |\n' "  module" "$own" $((own / copies))
awk -v w="$watching" -v s="$stopped" \
  'BEGIN { printf "\nratio watching / stopped: %.2f\n", w / s }'
echo "(\"module\": in the module's own code, out of the watching count; the rest"
echo "of the difference is host calls the module makes)"
