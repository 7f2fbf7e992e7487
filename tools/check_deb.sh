#!/usr/bin/env bash
# Builds the Debian package (make deb) and checks it: its files, the MIT
# (Expat) licence in its copyright file, its Depends, the unpacked tolmek
# answering --version and converting a file, and lintian
# when it is installed (errors and warnings fail; the remaining tags are
# listed). With --install it also installs the package with dpkg -i (root),
# reads the manual page with man, removes the package with dpkg -r and checks
# that every file it brought is gone.
#
#   tools/check_deb.sh [--install] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

install=0
if [ "${1:-}" = "--install" ]; then
  install=1
  shift
fi
build="${1:-build}"

fail() { echo "check_deb: $*" >&2; exit 1; }

make deb BUILD_DIR="$build"
version=$(sed -n 's/^project(tolmek VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$build/tolmek_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no package $deb"

work=$(mktemp -d "${TMPDIR:-/tmp}/tolmek-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "== $deb: files and Depends"
files=(usr/bin/tolmek usr/share/man/man1/tolmek.1.gz usr/share/doc/tolmek/README.md
       usr/share/doc/tolmek/copyright usr/share/doc/tolmek/changelog.gz
       usr/share/bash-completion/completions/tolmek)
dpkg -x "$deb" "$work/root"
for f in "${files[@]}"; do
  [ -f "$work/root/$f" ] || fail "missing /$f"
done
gzip -t "$work/root/usr/share/man/man1/tolmek.1.gz"
grep -qx 'License: Expat' "$work/root/usr/share/doc/tolmek/copyright" ||
  fail "the copyright file names no MIT (Expat) licence"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6; do
  case "$depends" in *"$lib"*) ;; *) fail "Depends lacks $lib" ;; esac
done

echo "== the unpacked tolmek"
tolmek="$work/root/usr/bin/tolmek"
banner=$("$tolmek" --version) || fail "--version failed"
[ "$(printf '%s\n' "$banner" | wc -l)" -eq 3 ] || fail "--version printed: $banner"
printf '%s\n' "$banner"
"$build/tools/gen_signal" "$work/in.wav" 1 44100 2 16 tones >/dev/null
"$tolmek" "$work/in.wav" -out="$work/out.aif" -freq=48000 >"$work/convert.log" ||
  fail "conversion failed: $(cat "$work/convert.log")"
grep -q "Completed" "$work/convert.log" || fail "no completion banner"
# 48000 frames of 2 channels of 16 bits behind a 54-byte AIFF header at least.
[ "$(wc -c <"$work/out.aif")" -gt 192000 ] || fail "output too short"
echo "converted 1 s of 44100 Hz stereo to 48000 Hz AIFF"

if command -v lintian >/dev/null; then
  echo "== lintian"
  lintian --fail-on error,warning -I "$deb" || fail "lintian found errors or warnings"
fi

if [ "$install" = 1 ]; then
  echo "== dpkg -i, man, dpkg -r"
  dpkg -i "$deb"
  /usr/bin/tolmek --version >/dev/null || fail "installed tolmek --version failed"
  man -w tolmek >/dev/null || fail "man does not find tolmek"
  man -P cat tolmek 2>/dev/null | grep -q "sampling" || fail "man tolmek shows no page"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' >"$work/list"
  dpkg -r tolmek
  while read -r f; do
    [ ! -e "$f" ] || fail "$f left after dpkg -r"
  done <"$work/list"
  echo "installed, read with man, removed: $(wc -l <"$work/list") files gone"
fi
echo "package checks passed"
