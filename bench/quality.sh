#!/usr/bin/env bash
# What the two modes do to the signal, measured with steady sines: pass-band
# ripple, the strongest alias or image, and the delay, for 44.1 kHz to 48 kHz
# and to 22.05 kHz. Prints a Markdown table (the one in the README).
#
#   bench/quality.sh [BUILD_DIR]     (or: make quality)
#
# BUILD_DIR (default build) must hold tolmek, tools/gen_signal and
# bench/quality_analysis. Each run converts 3-second, 32-bit files of six
# channels, one sine of whole Hz per channel at half full scale, to 32 bits,
# and analyses one second of the output (bench/quality/quality_analysis.cpp):
# - pass band: 20 Hz up to 0.9 of the lower Nyquist frequency (19845 Hz to
#   48 kHz, 9922 Hz to 22.05 kHz); ripple is the highest gain less the lowest;
# - alias: of every tone (pass band, and for 22.05 kHz the tones above its
#   Nyquist frequency whose aliases land in the pass band), the strongest
#   image or alias outside the transition band (0.9 to 1.1 of the lower
#   Nyquist frequency), relative to the tone;
# - delay: how many output frames the sines lag the exact alignment.
# Then the rounding at the output's word length: 20 s of stereo noise at
# -3 dB, 44.1 to 48 kHz, 16-bit output against the 32-bit output of the same
# conversion, in 16-bit steps (LSB), without and with -dither=tpdf, values
# beyond the 16-bit range left out (python3).
set -euo pipefail
build="${1:-build}"
tolmek="$build/tolmek"
gen="$build/tools/gen_signal"
analysis="$build/bench/quality_analysis"
for program in "$tolmek" "$gen" "$analysis"; do
  [ -x "$program" ] || { echo "quality.sh: $program is missing (make quality builds it)" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tolmek-quality.XXXXXX")
trap 'rm -rf "$work"' EXIT
input_rate=44100

# Prints "f gain delay spur_hz spur_db" per tone for one mode and output rate.
measure()
{
  local mode=$1 rate=$2 low=$3 high=$4
  shift 4
  local tones=("$@")
  local i list
  for ((i = 0; i < ${#tones[@]}; i += 6)); do
    local group=("${tones[@]:i:6}")
    while [ ${#group[@]} -lt 6 ]; do group+=("${group[0]}"); done
    list=$(IFS=,; echo "${group[*]}")
    "$gen" "$work/in.wav" 3 "$input_rate" 6 32 "sine=$list" >/dev/null
    "$tolmek" "$work/in.wav" -out="$work/out.wav" -freq="$rate" -bit=32 -mode="$mode" >/dev/null
    "$analysis" "$work/out.wav" "$input_rate" "$low" "$high" "${group[@]}"
  done
}

echo "| conversion | mode | pass band | gain in the pass band | strongest alias | delay |"
echo "|---|---|---|---|---|---|"
for rate in 48000 22050; do
  lower=$(( (rate < input_rate ? rate : input_rate) / 2 ))
  edge=$(( lower * 9 / 10 ))
  mirror=$(( 2 * lower - edge ))
  pass=(20 50 100 200 500)
  for ((f = 1000; f < edge; f += 500)); do pass+=("$f"); done
  pass+=("$edge")
  above=()
  for ((f = mirror; f < input_rate / 2; f += 250)); do above+=("$f"); done
  for mode in quality speed; do
    {
      measure "$mode" "$rate" "$edge" "$mirror" "${pass[@]}" | sed 's/^/pass /'
      if [ ${#above[@]} -gt 0 ]; then
        measure "$mode" "$rate" "$edge" "$mirror" "${above[@]}" | sed 's/^/above /'
      fi
    } | awk -v rate="$rate" -v mode="$mode" -v edge="$edge" '
      function abs(x) { return x < 0 ? -x : x }
      function db(x) { return abs(x) < 0.00005 ? "0.0000" : sprintf("%+.4f", x) }
      $1 == "pass" {
        if (!seen || $3 > high) high = $3
        if (!seen || $3 < low) low = $3
        if (abs($4) > delay) delay = abs($4)
        seen = 1
      }
      $6 != "-inf" && (!spur_seen || $6 > spur) { spur = $6; tone = $2; at = $5; spur_seen = 1 }
      END {
        alias = spur_seen ? sprintf("%.1f dB (%.3g kHz at %.3g kHz)", spur, tone / 1000, at / 1000) : "none"
        printf "| 44.1 -> %g kHz | %s | 20 Hz-%.2f kHz | %s to %s dB | %s | %.3f frames |\n",
               rate / 1000, mode, edge / 1000, db(low), db(high), alias, delay
      }'
  done
done

# The case of the issue a user meets first: 15 kHz going to 22.05 kHz.
echo
for mode in quality speed; do
  measure "$mode" 22050 9922 12128 15000 | awk -v mode="$mode" \
    'NR == 1 { printf "A 15 kHz tone to 22.05 kHz, -mode=%s: alias at %.2f kHz, %.1f dB.\n", mode, $4 / 1000, $5 }'
done

echo
echo "| 44.1 -> 48 kHz, 16 bits | mean error | largest error | standard deviation |"
echo "|---|---|---|---|"
"$gen" "$work/noise.wav" 20 "$input_rate" 2 16 noise >/dev/null
"$tolmek" "$work/noise.wav" -out="$work/n32.wav" -freq=48000 -vol=-3 -bit=32 >/dev/null 2>&1
for dither in off tpdf; do
  "$tolmek" "$work/noise.wav" -out="$work/n16.wav" -freq=48000 -vol=-3 -dither="$dither" >/dev/null 2>&1
  python3 - "$work/n16.wav" "$work/n32.wav" "$dither" <<'PY'
import array, math, struct, sys
def samples(path, code):
    d = open(path, 'rb').read()
    i = 12
    while i < len(d):
        size = struct.unpack('<I', d[i + 4:i + 8])[0]
        if d[i:i + 4] == b'data':
            return array.array(code, d[i + 8:i + 8 + size])
        i += 8 + size + (size & 1)
short, full = samples(sys.argv[1], 'h'), samples(sys.argv[2], 'i')
n = total = squares = largest = 0
for a, b in zip(short, full):
    if abs(b) >= 32767 * 65536:
        continue  # beyond the 16-bit range: clipped, not rounded
    e = a - b / 65536.0
    n += 1; total += e; squares += e * e; largest = max(largest, abs(e))
mean = total / n
print("| -dither=%s | %+.4f LSB | %.4f LSB | %.4f LSB |" % (sys.argv[3], mean, largest, math.sqrt(squares / n - mean * mean)))
PY
done
