#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
# Inputs that crash, hang or leak are left in build-fuzz/artifacts/; the
# corpus grows in build-fuzz/corpus-<target>/ between runs.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DZUMT_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target workbook_fuzz sql_fuzz -j "$(nproc)"
mkdir -p build-fuzz/artifacts build-fuzz/corpus-workbook_fuzz build-fuzz/corpus-sql_fuzz

run() {
  local target=$1; shift
  echo "== $target for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0 \
    "build-fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=512 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ \
    "build-fuzz/corpus-$target" "$@" 2>&1 | grep -E '^(#[0-9]+.*(DONE|INITED)|==|stat::number_of_executed_units|SUMMARY|ERROR|artifact)' || true
  # libFuzzer's exit status is lost in the pipe: an artifact means a fault.
}
run workbook_fuzz tests/fixtures tests/fuzz/regressions
run sql_fuzz tests/fuzz/seeds/sql
if compgen -G "build-fuzz/artifacts/*" >/dev/null; then
  echo "fuzzing found faults:"; ls -l build-fuzz/artifacts/
  exit 1
fi
echo "fuzzing: no faults"
