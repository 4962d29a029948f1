#!/usr/bin/env bash
# modemctl's bash completion offers, for what has been typed so far, the
# commands, each command's options, option values, files of the right kind and
# the mnemonics of send; option values are never taken for the command.
# Usage: completion_test.sh COMPLETION_FILE
set -uo pipefail
completion=$1
framework=/usr/share/bash-completion/bash_completion
[ -r "$framework" ] || { echo "bash-completion not installed"; exit 77; }
# shellcheck source=/dev/null
source "$framework"
# shellcheck source=/dev/null
source "$completion"
failures=0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch a.cfg b.json notes.txt

# Completes the last word of "$1" (a trailing space starts a new, empty word)
# and prints the candidates sorted, on one line.
candidates() {
    local line=$1
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _modemctl modemctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//'
}

expect() { # LINE EXPECTED
    local got
    got=$(candidates "$1")
    if [ "$got" != "$2" ]; then
        echo "FAIL: \"$1\" completes to \"$got\", not \"$2\""
        failures=$((failures + 1))
    fi
}

mnemonics="cfgd cfge ch chk pwrt rssi rssk rxmd rxmk sav1 save sing sink t1ph t1pl t2ph t2pl test txmd txmk vers vie0 vie1 view vswk vswr"

expect "modemctl " "channels check defaults diff export import parse-report ports read report send write"
expect "modemctl re" "read report"
expect "modemctl --" "--help --log --version"
expect "modemctl read --p" "--port --profile"
expect "modemctl read --profile " "0 1"
expect "modemctl write --store " "0 1"
expect "modemctl parse-report --" "--base --help --output --raw"
expect "modemctl send " "$mnemonics"
expect "modemctl send ch " "$(seq 1 16 | sort | tr '\n' ' ' | sed 's/ $//')"
expect "modemctl send chk " "0 1 2"
expect "modemctl send vers " ""
# Option values are not the command, nor the mnemonic.
expect "modemctl send --port /dev/ttyACM0 " "$mnemonics"
expect "modemctl send --wait 100 ch " "$(seq 1 16 | sort | tr '\n' ' ' | sed 's/ $//')"
expect "modemctl read -o out.cfg --p" "--port --profile"
# Files of the kind each command reads.
expect "modemctl export " "a.cfg"
expect "modemctl import " "b.json"
expect "modemctl write --verify " "a.cfg"
expect "modemctl read --base " "a.cfg"
expect "modemctl diff " "a.cfg b.json modem"
expect "modemctl diff a.cfg " "a.cfg b.json modem"
expect "modemctl diff a.cfg modem " ""
expect "modemctl export a.cfg " ""

[ $failures -eq 0 ] && echo "all completions as expected"
exit $((failures > 0))
