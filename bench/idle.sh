#!/bin/bash
# Idle core time of whole conversions: runs each build's tolmek on INPUT in
# turn, RUNS times, and prints the medians of the wall time, the CPU time
# (task-clock: user and system of all threads) and the idle core time
# (cores x wall - CPU), in milliseconds. The output is removed before each
# run, outside the timing.
#
#   bench/idle.sh INPUT BUILD...
#   IDLE_RUNS    runs of each build (default 7)
#   IDLE_ARGS    tolmek's options (default -freq=48000)
#   IDLE_CORES   cores (default: nproc)
set -eu
if [ $# -lt 2 ]; then
  echo "usage: bench/idle.sh INPUT BUILD..." >&2
  exit 2
fi
command -v perf >/dev/null || { echo "bench/idle.sh needs perf" >&2; exit 2; }
input=$1
shift
runs=${IDLE_RUNS:-7}
cores=${IDLE_CORES:-$(nproc)}
read -r -a args <<<"${IDLE_ARGS:--freq=48000}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for ((r = 0; r < runs; r++)); do
  for i in $(seq 0 $(($# - 1))); do
    build=${*:$((i + 1)):1}
    rm -f "$work/out.wav"
    perf stat -x, -e task-clock,duration_time "$build/tolmek" "$input" "$work/out.wav" \
      "${args[@]}" 2>&1 >/dev/null |
      awk -F, -v cores="$cores" '/task-clock/ { cpu = $1 } /duration_time/ { wall = $1 / 1e6 }
        END { printf "%.1f %.1f %.1f\n", wall, cpu, cores * wall - cpu }' >>"$work/$i"
  done
done

median() { # file, column
  sort -g -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}
echo "medians of $runs runs, ms: wall, CPU, idle core time ($cores cores); $input ${args[*]}"
for i in $(seq 0 $(($# - 1))); do
  printf '%-40s %9s %9s %9s\n' "${*:$((i + 1)):1}" "$(median "$work/$i" 1)" \
    "$(median "$work/$i" 2)" "$(median "$work/$i" 3)"
done
