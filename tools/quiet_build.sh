#!/bin/sh
# Builds targets with `cmake --build`, leaving out make's "Entering
# directory" lines and CMake's progress lines ("[ 42%] Building ...",
# "[3/20] ..."), so that only what the compiler and linker say is shown,
# errors and warnings in full. The exit status is that of the build.
#   tools/quiet_build.sh BUILD_DIR JOBS TARGET...
build_dir=$1
jobs=$2
shift 2
status=$(mktemp "${TMPDIR:-/tmp}/tolmek-build.XXXXXX")
trap 'rm -f "$status"' EXIT
{
  MAKEFLAGS=--no-print-directory cmake --build "$build_dir" -j "$jobs" --target "$@" 2>&1 &&
    echo 0 >"$status" || echo $? >"$status"
} | sed -e '/^\[ *[0-9]*%\] /d' \
        -e '/^\[[0-9]*\/[0-9]*\] /d' \
        -e '/^g\{0,1\}make\(\[[0-9]*\]\)\{0,1\}: \(Entering\|Leaving\) directory/d' \
        -e '/^Consolidate compiler generated dependencies of target /d' \
        -e '/^Scanning dependencies of target /d'
exit "$(cat "$status")"
