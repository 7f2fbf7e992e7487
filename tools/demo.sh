#!/bin/sh
# Demo: synthesises four seconds of a 44.1 kHz stereo test signal with the
# project's own generator, converts it to 48 kHz with tolmek and shows the
# report, the progress and the completion banner.
set -e
BUILD_DIR=${1:-build}
TOLMEK="$BUILD_DIR/tolmek"
GEN="$BUILD_DIR/tools/gen_signal"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tolmek-demo.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM

"$GEN" "$WORK/demo_44k.wav" 4 44100 2 16 tones
echo "Synthesised $(wc -c < "$WORK/demo_44k.wav") bytes: 4 s of 44100 Hz stereo 16-bit tones"
echo
"$TOLMEK" "$WORK/demo_44k.wav" -out="$WORK/demo_48k.wav" -freq=48000
echo
echo "Wrote $(wc -c < "$WORK/demo_48k.wav") bytes: 4 s of 48000 Hz stereo 16-bit"
