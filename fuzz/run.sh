#!/usr/bin/env bash
# Builds the wave stream fuzz target into build-fuzz/ (clang, libFuzzer,
# ASan and UBSan), writes the seed corpus with the program's own code and
# fuzzes for the given number of seconds (default 60).
#
#   fuzz/run.sh [seconds] [extra libFuzzer options...]
#
# The corpus grows in build-fuzz/corpus; crashes land in build-fuzz/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
build=build-fuzz

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2 >/dev/null

mkdir -p "$build/corpus" "$build/seeds" "$build/crashes"
"$build/make_corpus" "$build/seeds"

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
"$build/wstm_fuzz" "$build/corpus" "$build/seeds" \
  -dict=fuzz/wav.dict -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$build/crashes/" "$@"
