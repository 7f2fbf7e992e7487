#!/bin/sh
# Release archives of the Windows program: tolmek-VERSION-win64.zip and
# tolmek-VERSION-win32.zip, each with tolmek.exe, the README for Windows
# users (packaging/windows/README.txt) and the MIT licence as LICENSE.txt,
# both text files with CR LF line ends as Windows editors expect. Each
# archive is listed back and must hold all three.
#   tools/dist_windows.sh VERSION   (after make windows and make windows32)
set -eu
version=$1
root=$(pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for pair in win64:build-windows win32:build-windows32; do
  arch=${pair%%:*}
  build=${pair#*:}
  name="tolmek-$version-$arch"
  dir="$stage/$name"
  mkdir -p "$dir"
  cp "$build/tolmek.exe" "$dir/"
  sed 's/$/\r/' packaging/windows/README.txt >"$dir/README.txt"
  sed 's/$/\r/' LICENSE >"$dir/LICENSE.txt"
  rm -f "$root/$name.zip"
  (cd "$stage" && zip -q -X -r "$root/$name.zip" "$name")
  zip -sf "$root/$name.zip" >"$stage/list"
  for f in tolmek.exe README.txt LICENSE.txt; do
    grep -q "^ *$name/$f\$" "$stage/list" || { echo "dist_windows: $name.zip lacks $f" >&2; exit 1; }
  done
  echo "$name.zip"
done
