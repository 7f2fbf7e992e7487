#!/bin/sh
# tools/demo.sh, run from a scratch folder as `make demo` runs it: it must
# leave the example input and its conversion in demo/, name both, stay
# short, and end with the command for one's own file.
#   demo_test.sh SOURCE_DIR BUILD_DIR
set -eu
source_dir=$1
build_dir=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tolmek-demo-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "demo_test: $*" >&2; exit 1; }

cd "$work"
sh "$source_dir/tools/demo.sh" "$build_dir" >out.txt 2>&1 || fail "demo.sh failed: $(cat out.txt)"
# 4 s of stereo 16-bit behind a 44-byte header, at 44100 and 48000 Hz.
[ "$(wc -c <demo/demo_44k.wav)" -eq 705644 ] || fail "demo/demo_44k.wav missing or of the wrong size"
[ "$(wc -c <demo/demo_48k.wav)" -eq 768044 ] || fail "demo/demo_48k.wav missing or of the wrong size"
for f in demo/demo_44k.wav demo/demo_48k.wav; do
  grep -q "$f" out.txt || fail "the output does not name $f"
done
[ "$(wc -l <out.txt)" -le 38 ] || fail "$(wc -l <out.txt) lines"
[ "$(tail -n 1 out.txt)" = "$build_dir/tolmek yourfile.wav -freq=48000" ] ||
  fail "last line: $(tail -n 1 out.txt)"
echo "demo: both files kept, $(wc -l <out.txt) lines"
