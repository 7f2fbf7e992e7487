#!/bin/sh
# Release archives of the Windows program: tolmek-VERSION-win64.zip and
# tolmek-VERSION-win32.zip, each with tolmek.exe, the README as text and the
# license (or, while the project has no license file, the program's notice).
#   tools/dist_windows.sh VERSION   (after make windows and make windows32)
set -eu
version=$1
root=$(pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for pair in win64:build-windows win32:build-windows32; do
  arch=${pair%%:*}
  build=${pair#*:}
  dir="$stage/tolmek-$version-$arch"
  mkdir -p "$dir"
  cp "$build/tolmek.exe" "$dir/"
  # Text files with CR LF line ends, as Windows editors expect.
  sed 's/$/\r/' README.md >"$dir/README.txt"
  license=""
  for name in LICENSE LICENSE.txt LICENSE.md COPYING; do
    if [ -f "$name" ]; then license=$name; break; fi
  done
  if [ -n "$license" ]; then
    sed 's/$/\r/' "$license" >"$dir/LICENSE.txt"
  else
    printf 'tolmek version %s\r\nThis program comes with no warranty.\r\n' "$version" >"$dir/LICENSE.txt"
  fi
  rm -f "$root/tolmek-$version-$arch.zip"
  (cd "$stage" && zip -q -X -r "$root/tolmek-$version-$arch.zip" "tolmek-$version-$arch")
  echo "tolmek-$version-$arch.zip"
done
