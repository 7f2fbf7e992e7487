#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan and UBSan), writes their
# seed corpora with the program's own code, replays every seed and corpus
# file, then fuzzes each target for the given number of seconds (default 60).
#
#   fuzz/run.sh [seconds] [extra libFuzzer options...]
#
# Environment: FUZZ_TARGETS picks targets (default "wstm cmdline settings
# extended"); FUZZ_BUILD the build folder (default build-fuzz). Seconds 0
# only replays. Corpora grow in <build>/corpus (wave files) and
# <build>/corpus-<target>; crashes land in <build>/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
build="${FUZZ_BUILD:-build-fuzz}"
targets="${FUZZ_TARGETS:-wstm cmdline settings extended}"

# A folder configured by the former stand-alone fuzz project is started afresh.
if grep -qs '^CMAKE_HOME_DIRECTORY:INTERNAL=.*/fuzz$' "$build/CMakeCache.txt"; then
  rm -rf "$build"
fi
# The product's libraries, each with the fuzzer's coverage, ASan and UBSan;
# only the fuzz targets and the corpus writers are built.
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release \
  -DTOLMEK_FUZZ=ON -DTOLMEK_TESTS=OFF >/dev/null
fuzz_exes=(make_corpus make_text_corpus)
for target in $targets; do fuzz_exes+=("${target}_fuzz"); done
cmake --build "$build" -j 2 --target "${fuzz_exes[@]}" >/dev/null

mkdir -p "$build/corpus" "$build/seeds" "$build/text-seeds" "$build/crashes"
"$build/make_corpus" "$build/seeds"
"$build/make_text_corpus" "$build/text-seeds"

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

for target in $targets; do
  case "$target" in
    wstm) corpus="$build/corpus"; seeds="$build/seeds"
          opts=(-dict=fuzz/wav.dict -max_len=65536) ;;
    cmdline) corpus="$build/corpus-cmdline"; seeds="$build/text-seeds/cmdline"; opts=(-max_len=4096) ;;
    settings) corpus="$build/corpus-settings"; seeds="$build/text-seeds/settings"; opts=(-max_len=8192) ;;
    extended) corpus="$build/corpus-extended"; seeds="$build/text-seeds/extended"; opts=(-max_len=32) ;;
    *) echo "unknown fuzz target: $target" >&2; exit 2 ;;
  esac
  mkdir -p "$corpus"
  echo "== $target: replay"
  "$build/${target}_fuzz" -runs=0 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/crashes/$target-" "${opts[@]}" "$corpus" "$seeds"
  if [ "$seconds" -gt 0 ]; then
    echo "== $target: fuzz ${seconds}s"
    "$build/${target}_fuzz" "$corpus" "$seeds" "${opts[@]}" -max_total_time="$seconds" \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/crashes/$target-" "$@"
  fi
done
