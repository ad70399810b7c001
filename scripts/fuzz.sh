#!/usr/bin/env bash
# Runs a libFuzzer target for a number of seconds, its corpus seeded with the
# example sessions and scenario scripts and the inputs that once failed
# (fuzz/findings/), or, for the DXF reader, the example drawings, and prints
# how many inputs it ran.
#   bash scripts/fuzz.sh [SECONDS] [TARGET]
# SECONDS defaults to 60, TARGET to session_fuzzer (or dxf_reader_fuzzer,
# seeded with the example drawings). Needs clang and
# libFuzzer (Debian: clang, libclang-rt-14-dev). Crashing inputs are kept in
# build/fuzz/artifacts/ and the run fails; the corpus grows in
# build/fuzz/corpus/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
target=${2:-session_fuzzer}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 --target "$target" >/dev/null

corpus=build/fuzz/corpus/$target
artifacts=build/fuzz/artifacts/
mkdir -p "$corpus" "$artifacts"
seeds=()
if [ "$target" = session_fuzzer ]; then
  cp examples/*.cadsim tests/scripts/*.cadsim fuzz/findings/*.cadsim "$corpus"/
  seeds=(-dict=fuzz/session.dict)
elif [ "$target" = dxf_reader_fuzzer ]; then
  cp examples/*.dxf "$corpus"/
  seeds=(-max_len=65536)
fi

log=build/fuzz/$target.log
status=0
build/fuzz/fuzz/"$target" "$corpus" -max_len=4096 "${seeds[@]}" \
  -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$artifacts" \
  >"$log" 2>&1 || status=$?

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
echo "fuzz: $target ran ${executions:-?} inputs in $seconds s (exit $status)"
echo "fuzz: corpus $(ls "$corpus" | wc -l) inputs; log $log"
if [ "$status" -ne 0 ]; then
  grep -E "ERROR|SUMMARY|Test unit written" "$log" | head -20 || true
fi
exit "$status"
