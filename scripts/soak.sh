#!/usr/bin/env bash
# The long run of randomized sessions: at least STEPS steps (default one
# million) over consecutive seeds, every invariant checked after every step.
# Prints the steps, the seeds, the faults injected and the violations found;
# a failing seed prints its shortest reproducing session script.
#   bash scripts/soak.sh [STEPS] [FIRST_SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
steps=${1:-1000000}
first=${2:-1000000}
build=build/soak

cmake --preset release -B "$build" >/dev/null
cmake --build "$build" -j 2 --target random_tests >/dev/null

start=$(date +%s)
status=0
PLIVET_SOAK_STEPS="$steps" PLIVET_SOAK_FIRST_SEED="$first" \
  "$build"/tests/random_tests --gtest_filter='RandomSoak.*' \
  >"$build"/soak.log 2>&1 || status=$?
grep -E "^soak:" "$build"/soak.log || true
echo "soak: $(( $(date +%s) - start )) s; log $build/soak.log (exit $status)"
if [ "$status" -ne 0 ]; then
  sed -n '/Failure/,/^check$/p' "$build"/soak.log | head -60
fi
exit "$status"
