#!/usr/bin/env bash
# Whole-file conversion side by side: tolmek (quality and speed) against the
# peer converters installed on this machine, whole process each run.
#
#   bench/compare.sh [--install-peers] [BUILD_DIR]
#
# BUILD_DIR (default build) holds tolmek and tools/gen_signal; when it also
# holds bench/engine_kernel (configured with -DTOLMEK_BENCH=ON), the kernel
# variant the engine chooses on this processor is named in the header.
# Environment:
#   BENCH_SECONDS   length of the generated input (default 600 = 10 minutes)
#   BENCH_RUNS      runs of each converter, interleaved (default 3)
#   BENCH_RESULTS   where the table goes (default bench/RESULTS.md; "-" for none)
#   BENCH_TABLES    which tables: "long" (the whole-file tables of
#                   BENCH_SECONDS), "short" (the short-file table below) or
#                   "long short" (default)
#   BENCH_SHORT_RUNS    runs of each command and length in the short-file
#                   table (default 15)
#   BENCH_SHORT_LENGTHS lengths of its inputs in seconds (default "1 5 30 120")
# --install-peers installs the missing peers (sox, samplerate-programs,
# ffmpeg) with apt-get before measuring; without it, absent peers are skipped.
#
# Each run is timed with /usr/bin/time: wall seconds, CPU seconds (user +
# system) and peak resident memory. The tables give the median of the runs
# and the ratio of each tolmek mode to each peer (below 1: tolmek is faster).
# A section "## Notes" at the end of an existing results file is kept.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
install_peers=0
build_dir=build
for arg in "$@"; do
  case "$arg" in
    --install-peers) install_peers=1 ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    *) build_dir=$arg ;;
  esac
done
case "$build_dir" in /*) ;; *) build_dir="$root/$build_dir" ;; esac

seconds=${BENCH_SECONDS:-600}
runs=${BENCH_RUNS:-3}
results=${BENCH_RESULTS:-$root/bench/RESULTS.md}
tolmek=$build_dir/tolmek
gen=$build_dir/tools/gen_signal
timer=/usr/bin/time

if [ "$install_peers" = 1 ]; then
  need=()
  command -v sox >/dev/null || need+=(sox)
  command -v sndfile-resample >/dev/null || need+=(samplerate-programs)
  command -v ffmpeg >/dev/null || need+=(ffmpeg)
  if [ ${#need[@]} -gt 0 ]; then
    echo "installing: ${need[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${need[@]}" >/dev/null
  fi
fi

for f in "$tolmek" "$gen" "$timer"; do
  [ -x "$f" ] || { echo "missing $f (build first: make build)" >&2; exit 1; }
done

# The processor: model name, family and model numbers.
cpu_model() {
  awk -F': ' '/^model name/ && !n { name = $2; n = 1 }
              /^cpu family/ && !f { fam = $2; f = 1 }
              /^model[ \t]*:/ && !m { mod = $2; m = 1 }
              END { printf "%s, family %s model %s", name, fam, mod }' /proc/cpuinfo
}

# The lane variant the engine's calibration chooses, from engine_kernel's
# context line (one tiny benchmark runs to print it).
chosen_variant() {
  local ek=$build_dir/bench/engine_kernel
  if [ ! -x "$ek" ]; then
    echo "unknown (bench/engine_kernel not built: configure with -DTOLMEK_BENCH=ON)"
    return
  fi
  "$ek" --benchmark_filter='^Kernel/lanes-portable/44100to48000/q3$' --benchmark_min_time=0.001 2>&1 |
    sed -n 's/^chosen variant: //p' | head -n 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/tolmek-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Converter table of one direction: "name|command" with IN, OUT and RATE
# substituted at run time.
declare -a names cmds

add() { names+=("$1"); cmds+=("$2"); }

setup_direction() { # $1 = output rate, $2 = output bits
  names=(); cmds=()
  local rate=$1 bits=$2
  add "tolmek -mode=quality" "$tolmek IN OUT -freq=$rate -mode=quality"
  add "tolmek -mode=speed" "$tolmek IN OUT -freq=$rate -mode=speed"
  if command -v sox >/dev/null; then
    add "sox copy (no resampling)" "sox IN OUT"
    add "sox default" "sox IN -r $rate OUT"
    add "sox rate -v" "sox IN OUT rate -v $rate"
    add "sox rate -q" "sox IN OUT rate -q $rate"
  fi
  if command -v sndfile-resample >/dev/null; then
    add "sndfile-resample -c 0" "sndfile-resample -to $rate -c 0 IN OUT"
    add "sndfile-resample -c 2" "sndfile-resample -to $rate -c 2 IN OUT"
  fi
  if command -v ffmpeg >/dev/null; then
    add "ffmpeg default" "ffmpeg -nostdin -loglevel error -y -i IN -ar $rate -c:a pcm_s${bits}le OUT"
  fi
}

# One timed run: appends "index wall cpu rss_kb" to $work/times.
run_one() { # $1 = index, $2 = input
  local i=$1 in=$2 out=$work/out.wav cmd
  cmd=${cmds[$i]//IN/$in}
  cmd=${cmd//OUT/$out}
  rm -f "$out"
  if ! $timer -f "%e %U %S %M" -o "$work/t" $cmd >"$work/log" 2>&1; then
    echo "  failed: ${names[$i]}: $(tail -n 3 "$work/log")" >&2
    return 0
  fi
  awk -v i="$i" '{ printf "%d %.3f %.3f %d\n", i, $1, $2 + $3, $4 }' "$work/t" >>"$work/times"
}

median() { # column $2 of the rows of index $1 in $work/times
  awk -v i="$1" -v c="$2" '$1 == i { print $c }' "$work/times" | sort -g |
    awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'; }

measure() { # $1 = title, $2 = input, $3 = output rate, $4 = output bits
  local title=$1 in=$2
  setup_direction "$3" "$4"
  : >"$work/times"
  local load0 load1 r i
  load0=$(cut -d' ' -f1-3 /proc/loadavg)
  for ((r = 1; r <= runs; r++)); do
    for i in "${!names[@]}"; do
      printf '\r  run %d/%d: %-28s' "$r" "$runs" "${names[$i]}" >&2
      run_one "$i" "$in"
    done
  done
  printf '\r%60s\r' '' >&2
  load1=$(cut -d' ' -f1-3 /proc/loadavg)

  {
    echo "### $title"
    echo
    echo "Medians of $runs interleaved runs; load average before: $load0, after: $load1."
    echo
    echo "| converter | wall s | CPU s | CPU/wall | peak RSS MB |"
    echo "|---|---:|---:|---:|---:|"
    for i in "${!names[@]}"; do
      local w c m
      w=$(median "$i" 2); c=$(median "$i" 3); m=$(median "$i" 4)
      [ "$m" = "-" ] || m=$(awk -v k="$m" 'BEGIN { printf "%.1f", k / 1024 }')
      echo "| ${names[$i]} | $w | $c | $(ratio "$c" "$w") | $m |"
    done
    echo
    echo "Ratio tolmek / peer (wall, CPU); below 1 means tolmek takes less."
    echo
    echo "| peer | quality wall | quality CPU | speed wall | speed CPU |"
    echo "|---|---:|---:|---:|---:|"
    local qw qc sw sc
    qw=$(median 0 2); qc=$(median 0 3); sw=$(median 1 2); sc=$(median 1 3)
    for i in "${!names[@]}"; do
      [ "$i" -ge 2 ] || continue
      local w c
      w=$(median "$i" 2); c=$(median "$i" 3)
      echo "| ${names[$i]} | $(ratio "$qw" "$w") | $(ratio "$qc" "$c") | $(ratio "$sw" "$w") | $(ratio "$sc" "$c") |"
    done
    echo
  } >>"$work/report"
}

# Short files: what a run costs besides the conversion itself (start,
# set-up, end) shows against the length of the input. 44.1 kHz stereo
# 16-bit pink noise with a tone, to 48 kHz, at each length; the runs of all
# commands and lengths interleaved, each timed by the shell (wall and CPU
# time of the whole process, in milliseconds; medians).
short_files() {
  local -a lengths=(${BENCH_SHORT_LENGTHS:-1 5 30 120})
  local short_runs=${BENCH_SHORT_RUNS:-15}
  if ! command -v sox >/dev/null; then
    echo "short-file table skipped: sox is not installed" >&2
    return 0
  fi
  local -a snames=("tolmek -mode=quality" "sox rate -v" "tolmek -mode=speed" "sox rate -q")
  local -a scmds=("$tolmek IN OUT -freq=48000 -mode=quality" "sox IN OUT rate -v 48000"
                  "$tolmek IN OUT -freq=48000 -mode=speed" "sox IN OUT rate -q 48000")
  local s i r cmd t0 t1 load0 load1
  local TIMEFORMAT='%3U %3S'
  for s in "${lengths[@]}"; do
    "$gen" "$work/short$s.wav" "$s" 44100 2 16 pink >/dev/null
  done
  : >"$work/short"
  load0=$(cut -d' ' -f1-3 /proc/loadavg)
  for ((r = 1; r <= short_runs; r++)); do
    printf '\r  short files, run %d/%d' "$r" "$short_runs" >&2
    for s in "${lengths[@]}"; do
      for i in "${!scmds[@]}"; do
        cmd=${scmds[$i]//IN/$work/short$s.wav}
        cmd=${cmd//OUT/$work/out.wav}
        # Start and end (microseconds) and the user and system seconds of
        # the whole process, its threads included (the shell's `time`, to
        # the millisecond).
        # The previous output is removed first, outside the timing: a
        # command that replaces a large file just written would otherwise
        # pay for freeing its pages.
        rm -f "$work/out.wav"
        t0=$EPOCHREALTIME
        { time $cmd >/dev/null 2>&1; } 2>"$work/cpu" || echo "  failed: $cmd" >&2
        t1=$EPOCHREALTIME
        echo "$s $i $t0 $t1 $(cat "$work/cpu")" >>"$work/short"
      done
    done
  done
  printf '\r%60s\r' '' >&2
  load1=$(cut -d' ' -f1-3 /proc/loadavg)
  short_median() { # length, command index, "wall" or "cpu": median ms
    awk -v s="$1" -v i="$2" -v what="$3" '$1 == s && $2 == i && NF == 6 {
        printf "%.3f\n", (what == "cpu" ? $5 + $6 : $4 - $3) * 1000 }' "$work/short" |
      sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
  }
  {
    echo "### Short files: 44.1 kHz stereo 16-bit pink noise and a tone -> 48 kHz"
    echo
    echo "Medians of $short_runs interleaved runs, milliseconds of the whole process:"
    echo "wall time, then CPU time (user + system, all threads), which a loaded machine"
    echo "disturbs less; load average before: $load0, after: $load1."
    echo
    local what q v p k
    for what in wall cpu; do
      echo "| $what | tolmek quality | sox rate -v | ratio | tolmek speed | sox rate -q | ratio |"
      echo "|---|---:|---:|---:|---:|---:|---:|"
      for s in "${lengths[@]}"; do
        q=$(short_median "$s" 0 $what); v=$(short_median "$s" 1 $what)
        p=$(short_median "$s" 2 $what); k=$(short_median "$s" 3 $what)
        printf '| %s s | %.1f | %.1f | %s | %.1f | %.1f | %s |\n' "$s" "$q" "$v" "$(ratio "$q" "$v")" \
          "$p" "$k" "$(ratio "$p" "$k")"
      done
      echo
    done
  } >>"$work/report"
}

tables=${BENCH_TABLES:-long short}

{
  echo "# Whole-file conversion against the peers"
  echo
  echo "Produced by \`bench/compare.sh\` (\`make bench-compare\`) on $(date -u '+%Y-%m-%d %H:%M UTC'),"
  echo "$(nproc) cores ($(cpu_model)),"
  case " $tables " in
    *" long "*) echo "input ${seconds} s of generated tones. Whole process per run, timed with /usr/bin/time." ;;
  esac
  echo
  echo "Kernel variant chosen by the engine on this processor: $(chosen_variant)."
  echo "Wall times depend on the load of the machine: compare only within one table."
  echo
} >"$work/report"

case " $tables " in
  *" long "*)
    echo "generating ${seconds} s inputs in $work" >&2
    "$gen" "$work/in44.wav" "$seconds" 44100 2 16 tones >/dev/null
    "$gen" "$work/in48.wav" "$seconds" 48000 2 24 tones >/dev/null
    measure "44.1 kHz stereo 16-bit -> 48 kHz" "$work/in44.wav" 48000 16
    measure "48 kHz stereo 24-bit -> 44.1 kHz" "$work/in48.wav" 44100 24
    ;;
esac
case " $tables " in
  *" short "*) short_files ;;
esac

cat "$work/report"
if [ "$results" != "-" ]; then
  # Hand-written notes from "## Notes" on are kept below the new tables.
  if [ -f "$results" ] && grep -q '^## Notes' "$results"; then
    sed -n '/^## Notes/,$p' "$results" >"$work/notes"
    cat "$work/notes" >>"$work/report"
  fi
  cp "$work/report" "$results"
  echo "written to $results" >&2
fi
