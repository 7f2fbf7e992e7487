#!/bin/sh
# Runs a command with a Wine of its own: a scratch prefix inside the build
# folder, Wine's messages off, and one wine server kept up for the whole
# command so that each test program does not pay Wine's start-up.
#   tools/wine_env.sh BUILD_DIR COMMAND [ARGUMENTS...]
# The prefix maps two drives for the drive checks of the tests: R: is a
# CD-ROM drive (a folder of the build), Q: stays unmapped.
set -eu
build_dir=$1
shift
WINEPREFIX="$(cd "$build_dir" && pwd)/wine-prefix"
WINEDEBUG=-all
export WINEPREFIX WINEDEBUG
mkdir -p "$WINEPREFIX"
# A server still up from an earlier run is used as it is.
wineserver -p 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
fi
mkdir -p "$WINEPREFIX/cdrom"
ln -sfn ../cdrom "$WINEPREFIX/dosdevices/r:"
rm -f "$WINEPREFIX/dosdevices/q:"
wine reg add 'HKLM\Software\Wine\Drives' /v 'r:' /d cdrom /f >/dev/null 2>&1 || true
"$@"
