#!/bin/sh
# Demo: synthesises four seconds of a 44.1 kHz stereo test signal with the
# project's own generator into demo/, converts it to 48 kHz with tolmek
# beside it, shows the report, and ends with the command for one's own file.
# Both files stay in demo/ to be listened to.
#   tools/demo.sh [BUILD_DIR]   (from the top of the tree, after the build)
set -e
BUILD_DIR=${1:-build}
TOLMEK="$BUILD_DIR/tolmek"
GEN="$BUILD_DIR/tools/gen_signal"
IN=demo/demo_44k.wav
OUT=demo/demo_48k.wav

mkdir -p demo
"$GEN" "$IN" 4 44100 2 16 tones
echo "Input:  $IN, 4 s of 44100 Hz stereo 16-bit tones ($(wc -c <"$IN") bytes)"
echo
"$TOLMEK" "$IN" -out="$OUT" -freq=48000
echo
echo "Output: $OUT, 4 s of 48000 Hz stereo 16-bit ($(wc -c <"$OUT") bytes)"
echo
echo "Listen to both. To convert a file of your own (the output is _yourfile.wav"
echo "beside it; tolmek --help lists the settings):"
echo "$TOLMEK yourfile.wav -freq=48000"
