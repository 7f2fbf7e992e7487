#!/bin/sh
# Converts a matrix of inputs (WAV and AIFF, 8 to 32 bits, 1, 2 and 4
# channels, quality and speed, gain, normalize, length, markers and loops)
# with the Linux program and with the Windows program under Wine, and
# requires byte-identical output files and identical reports.
#   tools/windows_same_bytes.sh LINUX_TOLMEK GEN_SIGNAL TOLMEK_EXE
# Run it through tools/wine_env.sh, which gives Wine its prefix and server.
set -eu
linux=$(realpath "$1")
gen=$(realpath "$2")
exe=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"
cd "$work/in"

"$gen" s16.wav 2 44100 2 16 sweep >/dev/null
"$gen" m8.wav 1 22050 1 8 tones >/dev/null
"$gen" s24.wav 1 48000 2 24 noise >/dev/null
"$gen" q4.wav 1 44100 4 16 tones >/dev/null
"$gen" m32.wav 1 96000 1 32 sweep >/dev/null
"$gen" s12.wav 1 32000 2 12 tones >/dev/null
"$gen" mk.wav 1 44100 2 16 tones >/dev/null
# Two markers and a loop on mk.wav: a 'cue ' and a 'smpl' chunk.
python3 - mk.wav <<'PY'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
cue = struct.pack('<I', 2)
for ident, pos in ((1, 1000), (2, 30000)):
    cue += struct.pack('<II4sIII', ident, pos, b'data', 0, 0, pos)
smpl = struct.pack('<9I', 0, 0, 22676, 60, 0, 0, 0, 1, 0)
smpl += struct.pack('<6I', 1, 0, 1000, 30000, 0, 0)
for ident, body in ((b'cue ', cue), (b'smpl', smpl)):
    data += ident + struct.pack('<I', len(body)) + body
struct.pack_into('<I', data, 4, len(data) - 8)
open(path, 'wb').write(data)
PY
# AIFF inputs, written by the Linux program: 20 bits, and the marked file.
"$linux" s24.wav -out=a20.aif -bit=20 >/dev/null
"$linux" mk.wav -out=mk.aif >/dev/null

n=0
failed=0
run() {
  n=$((n + 1))
  input=$1
  output=$2
  shift 2
  for side in linux windows; do
    mkdir -p "$work/$side/$n"
    cp "$work/in/$input" "$work/$side/$n/"
  done
  (cd "$work/linux/$n" && "$linux" "$input" -out="$output" "$@" >report.txt 2>/dev/null; echo "exit $?" >>report.txt)
  (cd "$work/windows/$n" && wine "$exe" "$input" -out="$output" "$@" >report.txt 2>/dev/null; echo "exit $?" >>report.txt)
  if ! grep -q '^exit 0$' "$work/linux/$n/report.txt" || [ ! -s "$work/linux/$n/$output" ]; then
    echo "FAILED ON LINUX: $input $output $*"
    failed=$((failed + 1))
  fi
  for file in "$output" report.txt; do
    if ! cmp -s "$work/linux/$n/$file" "$work/windows/$n/$file"; then
      echo "DIFFERENT: $input $output $* ($file)"
      failed=$((failed + 1))
    fi
  done
}

run s16.wav o.wav -freq=48000
run s16.wav o.wav -freq=48000 -mode=speed
run s16.wav o.aif -freq=22050 -ch=1 -bit=24
run s16.wav o.aiff -freq=96000 -vol=normalize -bit=32
run s16.wav o.wav -freq=8000 -vol=-6.5 -bit=8 -mode=5
run s16.wav o.wav -smpl=100000 -freq=44100 -vol=3
run m8.wav o.wav -freq=44100 -ch=2
run m8.wav o.aif -freq=48000 -bit=20 -mode=speed
run s24.wav o.wav -freq=44100 -mode=speed
run s24.wav o.wav -freq=44100
run s24.wav o.aif -freq=32000 -smpl=1000 -bit=16
run q4.wav o.wav -freq=48000
run q4.wav o.aif -freq=16000 -mode=speed -vol=normalize
run m32.wav o.wav -freq=44100 -bit=32
run m32.wav o.wav -freq=48000 -bit=1
run s12.wav o.wav -freq=44100 -bit=12 -ch=1 -vol=normalize
run s12.wav o.aif -freq=44100
run a20.aif o.wav -freq=44100 -ch=1
run a20.aif o.aif -freq=96000 -mode=7 -vol=-0.5
run mk.wav o.wav -freq=48000
run mk.wav o.aif -freq=22050 -mode=speed -ch=1
run mk.aif o.wav -freq=96000 -bit=24
run mk.aif o.aif -freq=11025 -vol=normalize
run s16.wav o.wav -freq=192000
run m8.wav o.wav -freq=10

if [ "$failed" -ne 0 ]; then
  echo "$failed of $n conversions differ between Linux and Windows"
  exit 1
fi
echo "$n conversions: Linux and Windows give the same bytes and the same reports"
