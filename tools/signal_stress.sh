#!/usr/bin/env bash
# Signal stress run (not part of CI): converts one long input N times and
# sends SIGINT, SIGTERM or SIGHUP (in turn) at a random moment of each run,
# spread over the whole run: start-up, the normalization pass, the
# conversion, the drain, the silence padding of the extra frames asked for
# with -smpl, and the close. Checks every run:
#   - signal taken while the program runs: exit 1, the interruption banner
#     last, no output file;
#   - signal before the handler is installed: ended by the signal, no output;
#   - signal after the program ended: exit 0 and a complete output.
# Any other outcome is a failure; its output is kept in the work folder.
#
#   tools/signal_stress.sh [N] [program] [work folder]
#
# Defaults: N=200, program build/tolmek, work folder a fresh one in /tmp.
set -uo pipefail
set -m  # background runs keep the default action of SIGINT

runs="${1:-200}"
program="${2:-build/tolmek}"
work="${3:-$(mktemp -d /tmp/signal_stress.XXXXXX)}"
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
gen="$(dirname "$program")/tools/gen_signal"
mkdir -p "$work"
cd "$work" || exit 2

# Ten seconds of stereo noise at 44.1 kHz; the output asks for more frames
# than the conversion gives, so the close pads with silence.
"$gen" in.wav 10 44100 2 16 noise >/dev/null || { echo "cannot make the input" >&2; exit 2; }
args=(in.wav -out=out.wav -freq=48000 -vol=normalize -smpl=720000)
input_sum="$(cksum <in.wav)"

start=$(date +%s%N)
LANG=C "$program" "${args[@]}" >clean.txt 2>&1
rc=$?
duration_ms=$(( ($(date +%s%N) - start) / 1000000 ))
if [ "$rc" -ne 0 ] || [ ! -f out.wav ]; then
  echo "the run without a signal failed (exit $rc)" >&2
  exit 2
fi
rm -f out.wav
echo "one run takes ${duration_ms} ms; $runs runs"

signals=(INT TERM HUP)
banner='||||||||||  Interrupted  ||||||||||'
interrupted=0 before_handler=0 after_end=0 failed=0
declare -A by_tenth
for ((i = 0; i < runs; i++)); do
  sig=${signals[i % 3]}
  # A delay of 0 to 110 % of a clean run.
  delay_ms=$(( (RANDOM * 32768 + RANDOM) % (duration_ms * 11 / 10 + 1) ))
  tenth=$(( delay_ms * 10 / (duration_ms > 0 ? duration_ms : 1) ))
  LANG=C "$program" "${args[@]}" >run.txt 2>&1 &
  pid=$!
  sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
  if kill -s "$sig" "$pid" 2>/dev/null; then sent=1; else sent=0; fi
  wait "$pid"
  rc=$?
  outcome=fail
  if [ "$rc" -eq 1 ] && [ "$(tail -n 1 run.txt)" = "$banner" ] && [ ! -e out.wav ]; then
    outcome=interrupted
  elif [ "$rc" -gt 128 ] && [ "$sent" -eq 1 ] && [ ! -e out.wav ] && ! grep -q '<< Parameters >>' run.txt; then
    outcome=before_handler
  elif [ "$rc" -eq 0 ] && [ -f out.wav ] && grep -q "Completed" run.txt; then
    outcome=after_end
  fi
  if [ "$(cksum <in.wav)" != "$input_sum" ]; then outcome=fail; fi
  case $outcome in
    interrupted) interrupted=$((interrupted + 1)); by_tenth[$tenth]=$(( ${by_tenth[$tenth]:-0} + 1 )) ;;
    before_handler) before_handler=$((before_handler + 1)) ;;
    after_end) after_end=$((after_end + 1)) ;;
    *) failed=$((failed + 1))
       cp run.txt "failure_${i}_SIG${sig}_${delay_ms}ms_exit${rc}.txt"
       echo "run $i: SIG$sig after ${delay_ms} ms: exit $rc, output $( [ -e out.wav ] && echo left || echo gone)" ;;
  esac
  rm -f out.wav
done

echo "interrupted (exit 1, banner, no output): $interrupted"
printf '  by moment (tenths of a clean run):'
for t in 0 1 2 3 4 5 6 7 8 9 10; do printf ' %s:%s' "$t" "${by_tenth[$t]:-0}"; done
echo
echo "ended by the signal before the handler was installed: $before_handler"
echo "signal after the end (complete output): $after_end"
echo "failures: $failed"
echo "work folder: $work"
[ "$failed" -eq 0 ]
