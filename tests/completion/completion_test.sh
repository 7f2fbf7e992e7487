#!/usr/bin/env bash
# The bash completion of tolmek, called the way bash calls it, in a folder of
# sample files: prints each failing case and exits 1 when any failed.
#
#   completion_test.sh path/to/tolmek.bash-completion
set -u
script=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/tolmek-completion.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch a.wav B.AIFF c.aif d.txt "e f.wav" g.Wav.bak
mkdir folder

# shellcheck source=/dev/null
source "$script" || exit 1
failures=0

# expect "reply words, sorted, | separated" word... : the words are
# COMP_WORDS after "tolmek", the last one being completed.
expect()
{
    local want=$1
    shift
    COMP_WORDS=(tolmek "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _tolmek
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd '|')
    if [[ $got != "$want" ]]; then
        echo "FAIL: tolmek $*: got '$got', want '$want'"
        failures=$((failures + 1))
    fi
}

# Bare words: WAV and AIFF files in any case, and folders; nothing else.
expect 'B.AIFF|a.wav|c.aif|e f.wav|folder' ''
expect 'a.wav' a
expect '' d

# Switch names up to their "=", in one- and two-dash forms.
expect '-bit=|-ch=|-dither=|-freq=|-help|-in=|-meta=|-mode=|-out=|-prio=|-smpl=|-sub=|-vol=' -
expect '-freq=' -f
expect '-smpl=|-sub=' -s
expect '--help' --h
expect '--version|--vol=' --v
expect '' --x

# Keywords after "=", split off as bash splits them or kept in one word.
expect '10|3|4|5|6|7|8|9|quality|speed' -mode =
expect 'speed' -mode = s
expect 'quality' -MODE = Q
expect 'abovenormal|belownormal|high|low|normal|realtime' -prio =
expect 'belownormal' -prio = b
expect 'normalize' -vol = n
expect 'bit|ch|dither|freq|help|in|meta|mode|out|prio|smpl|sub|vol' -help =
expect 'ch' -help = c
expect '-prio=abovenormal' -prio=a
expect 'off|tpdf' -dither =
expect 'drop|keep' -meta =
expect '-bit=float' -bit=f
expect '--mode=speed' --mode=sp
expect '' -freq = 4

# File names after -in, -out (audio only) and -sub (any file).
expect 'B.AIFF|a.wav|c.aif|e f.wav|folder' -in =
expect 'B.AIFF|a.wav|c.aif|d.txt|e f.wav|folder|g.Wav.bak' -sub =
expect '-out=folder' x.wav -out=f

if ((failures > 0)); then
    echo "$failures completion case(s) failed"
    exit 1
fi
echo "all completion cases passed"
