#!/usr/bin/env bash
# Runs bench/quality.sh and checks its table against the one in the README:
# the same rows, every number within 0.5 (dB, kHz or frames), so the
# README's figures stay what the command measures.
#
#   quality_table_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2

measured=$(bash "$source_dir/bench/quality.sh" "$build_dir" | grep '^| 44.1 ->')
documented=$(grep '^| 44.1 ->' "$source_dir/README.md")
echo "$measured"

paste -d '\n' <(echo "$documented") <(echo "$measured") | awk '
  function number(t) { gsub(/[(),]/, "", t); return t ~ /^[-+]?[0-9]+(\.[0-9]+)?$/ }
  NR % 2 == 1 { want = $0; next }
  {
    got = $0
    n = split(want, w, " "); m = split(got, g, " ")
    bad = n != m
    for (i = 1; !bad && i <= n; i++) {
      a = w[i]; b = g[i]; gsub(/[(),]/, "", a); gsub(/[(),]/, "", b)
      if (number(a) && number(b)) { d = a - b; if (d < -0.5 || d > 0.5) bad = 1 }
      else if (a != b) bad = 1
    }
    if (bad) { print "README: " want; print "now:    " got; failed = 1 }
  }
  END {
    if (NR != 2 * '"$(echo "$documented" | wc -l)"' || NR == 0) { print "row count differs"; failed = 1 }
    exit failed
  }'
echo "the README quality table holds"
