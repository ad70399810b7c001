#!/usr/bin/env bash
# Builds the release preset, runs the benchmark suites and prints their
# tables: the pending groups alone (with the bytes a pending copy holds), then
# every copy scenario with the module watching and stopped and the host calls
# the module makes, then the instructions per copy under callgrind.
#
# BASELINE=<commit> also builds the module of that commit (in
# build/baseline) and measures it against the same host in the same run, side
# by side; BASELINE_MODULE=<file> takes a module file already built instead.
# Full logs go to build/release/bench-*.log.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release
jobs=${JOBS:-2}

cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" \
  --target pending_groups_bench module_cost_bench >/dev/null
bench="$build/bench/module_cost_bench"

baseline=${BASELINE_MODULE:-}
if [[ -z "$baseline" && -n "${BASELINE:-}" ]]; then
  src=build/baseline/src
  rm -rf "$src" && mkdir -p "$src"
  git archive "$BASELINE" | tar -x -C "$src"
  (cd "$src" && cmake --preset release >/dev/null &&
    cmake --build --preset release -j "$jobs" --target qormplivet >/dev/null)
  baseline="$src/build/release/module/qormplivet.so"
fi

# The table a suite prints after its runs: from its title to the end.
table() { sed -n "/^$1/,\$p" "$2"; }

"$build/bench/pending_groups_bench" >"$build/bench-pending-groups.log" 2>&1
table "Pending groups" "$build/bench-pending-groups.log"
echo
"$bench" >"$build/bench-module-cost.log" 2>&1
table "Module watching" "$build/bench-module-cost.log"
echo
if [[ -n "$baseline" ]]; then
  "$bench" --module="$baseline" >"$build/bench-module-cost-baseline.log" 2>&1
  echo "The baseline module ($baseline):"
  table "Module watching" "$build/bench-module-cost-baseline.log"
  echo
fi

if ! command -v valgrind >/dev/null; then
  echo "valgrind not found: no instruction counts"
  exit 0
fi
# Only the timed command is instrumented (the benchmark switches callgrind on
# and off around it), so a count is the command's alone. Each run writes
# callgrind.<scenario>.<mode>.<module>.out; two run at a time.
scenarios="copy_parts_of_10/N:10000 copy_parts_of_10/N:100000
  copy_parts_of_10/N:1000000 copy_parts_of_1/N:100000
  explode_10_pieces/N:10000 array_100_copies/N:1000"
outFile() { echo "$build/callgrind.${1//[:\/]/_}.$2.$3.out"; }
runs=()
for s in $scenarios; do
  runs+=("$s stopped plain" "$s watching plain")
  [[ -n "$baseline" ]] && runs+=("$s watching baseline")
done
export build bench baseline
export -f outFile
printf '%s\n' "${runs[@]}" | xargs -P "$jobs" -L 1 bash -c '
  module=""
  [[ $3 == baseline ]] && module="--module=$baseline"
  valgrind --tool=callgrind --instr-atstart=no \
    --callgrind-out-file="$(outFile "$1" "$2" "$3")" \
    "$bench" --quick $module --benchmark_filter="^$1/$2/" >/dev/null 2>&1' _

total() { awk '/^totals:/ { print $2 }' "$(outFile "$@")"; }
# What runs in the module's own file, apart from the host calls it makes.
own() {
  callgrind_annotate --auto=no --threshold=100 "$(outFile "$@")" |
    awk '/\[[^]]*qormplivet[^]]*\]$/ { gsub(",", "", $1); sum += $1 }
         END { print sum + 0 }'
}
copiesOf() {
  case $1 in
  explode*) echo 100000 ;; array*) echo 100000 ;; *) echo "${1##*N:}" ;;
  esac
}
echo "Instructions per copy under callgrind (\"own\": in the module's file;"
echo "\"share\": own over the watching count; \"growth\": the watching count"
echo "over the one at N/10; \"w / s\": against the simulated host's own copy;"
echo "baseline: ${baseline:-none})"
echo
printf '| %-28s | %8s | %8s | %8s | %8s | %6s | %8s | %8s | %6s | %5s | %6s |\n' \
  scenario stopped watching baseline "w / s" "vs base" own "own base" \
  "vs base" share growth
printf '| :--- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |\n'
previous=""
for s in $scenarios; do
  copies=$(copiesOf "$s")
  st=$(total "$s" stopped plain)
  wa=$(total "$s" watching plain)
  ow=$(own "$s" watching plain)
  ba="" ob=""
  if [[ -n "$baseline" ]]; then
    ba=$(total "$s" watching baseline)
    ob=$(own "$s" watching baseline)
  fi
  growth=""
  [[ -n "$previous" && $s == copy_parts_of_10* ]] &&
    growth=$(awk -v a="$wa" -v b="$previous" 'BEGIN { printf "%.2f", a / b }')
  [[ $s == copy_parts_of_10* ]] && previous=$wa
  awk -v s="$s" -v c="$copies" -v st="$st" -v wa="$wa" -v ow="$ow" \
    -v ba="$ba" -v ob="$ob" -v g="$growth" 'BEGIN {
      vs = ba == "" ? "" : sprintf("%+.1f%%", (wa / ba - 1) * 100)
      vo = ob == "" ? "" : sprintf("%+.1f%%", (ow / ob - 1) * 100)
      printf "| %-28s | %8d | %8d | %8s | %8.2f | %6s | %8d | %8s | %6s | %4.0f%% | %6s |\n",
        s, st / c, wa / c, ba == "" ? "" : sprintf("%d", ba / c), wa / st,
        vs, ow / c, ob == "" ? "" : sprintf("%d", ob / c), vo,
        ow / wa * 100, g }'
done
