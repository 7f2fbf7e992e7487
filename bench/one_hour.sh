#!/usr/bin/env bash
# One hour of audio through tolmek: 44.1 kHz stereo 16-bit to 48 kHz, once
# with -mode=quality and once with -mode=speed, each as a whole process timed
# with /usr/bin/time (wall seconds, CPU seconds, peak resident memory).
#
#   bench/one_hour.sh [BUILD_DIR]
#
# BUILD_DIR (default build) holds tolmek and tools/gen_signal.
# Environment:
#   ONE_HOUR_SECONDS  length of the input (default 3600)
#   ONE_HOUR_RESULTS  a file the markdown table is appended to (default: the
#                     table is only printed)
#   TMPDIR            where the input and output go (about 1.4 GB for one
#                     hour; removed at exit)
#
# Not part of the test suite: it takes minutes and its figures depend on the
# machine and its load.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build_dir=build
for arg in "$@"; do
  case "$arg" in
    -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
    *) build_dir=$arg ;;
  esac
done
case "$build_dir" in /*) ;; *) build_dir="$root/$build_dir" ;; esac

seconds=${ONE_HOUR_SECONDS:-3600}
results=${ONE_HOUR_RESULTS:-}
tolmek=$build_dir/tolmek
gen=$build_dir/tools/gen_signal
timer=/usr/bin/time

for f in "$tolmek" "$gen" "$timer"; do
  [ -x "$f" ] || { echo "missing $f (build first: make build)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tolmek-one-hour.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Input 44100 x 4 bytes a second, output 48000 x 4; one output at a time.
in_bytes=$((seconds * 44100 * 4 + 44))
out_bytes=$((seconds * 48000 * 4 + 44))
need_mb=$(((in_bytes + out_bytes) / 1048576 + 64))
free_mb=$(df -Pm "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_mb" -lt "$need_mb" ]; then
  echo "not enough space in $(dirname "$work"): ${free_mb} MB free, ${need_mb} MB needed (set TMPDIR)" >&2
  exit 1
fi

echo "generating ${seconds} s of 44.1 kHz stereo 16-bit in $work" >&2
"$gen" "$work/in.wav" "$seconds" 44100 2 16 tones >/dev/null
[ "$(stat -c %s "$work/in.wav")" -eq "$in_bytes" ] || { echo "unexpected input size" >&2; exit 1; }

load0=$(cut -d' ' -f1-3 /proc/loadavg)
rows=""
for mode in quality speed; do
  echo "converting with -mode=$mode" >&2
  rm -f "$work/out.wav"
  if ! "$timer" -f "%e %U %S %M" -o "$work/time" \
      "$tolmek" "$work/in.wav" "$work/out.wav" -freq=48000 -mode=$mode >"$work/log" 2>&1; then
    echo "tolmek failed with -mode=$mode:" >&2
    tail -n 5 "$work/log" >&2
    exit 1
  fi
  size=$(stat -c %s "$work/out.wav")
  [ "$size" -eq "$out_bytes" ] || echo "warning: output is $size bytes, expected $out_bytes" >&2
  rows+=$(awk -v m="$mode" -v s="$size" '{
    printf "| -mode=%s | %.2f | %.2f | %.2f | %.1f | %.1f |\n", m, $1, $2 + $3, ($2 + $3) / ($1 > 0 ? $1 : 1), $4 / 1024, s / 1048576 }' "$work/time")
  rows+=$'\n'
done
load1=$(cut -d' ' -f1-3 /proc/loadavg)

table=$(
  if [ "$seconds" = 3600 ]; then length="One hour"; else length="$seconds s"; fi
  echo "### $length, 44.1 kHz stereo 16-bit -> 48 kHz"
  echo
  echo "\`bench/one_hour.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores" \
       "($(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)), input ${seconds} s of generated tones;" \
       "load average before: $load0, after: $load1."
  echo
  echo "| mode | wall s | CPU s | CPU/wall | peak RSS MB | output MB |"
  echo "|---|---:|---:|---:|---:|---:|"
  printf '%s' "$rows"
)
echo "$table"
if [ -n "$results" ]; then
  { echo; echo "$table"; } >>"$results"
  echo "appended to $results" >&2
fi
