#!/usr/bin/env bash
# Every command and option the programs accept, as their own help lists them,
# is described in their manual pages, and modemctl's are offered by its bash
# completion: an option added to a program and forgotten in either fails here.
# Usage: docs_cover_options_test.sh SOURCE_DIR MODEMCTL [MODEM_SIM] [MODEMCFG]
set -uo pipefail
src=$1
modemctl=$2
sim=${3:-}
cfg=${4:-}
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The page's source with "\-" as a plain hyphen.
page() { sed 's/\\-/-/g' "$src/docs/man/$1.1.in"; }

# The words of one section of a CLI11 help text ("Options:", "Subcommands:").
section() { # TITLE
    awk -v title="$1" '$0 == title { on = 1; next } /^[^ ]/ { on = 0 } on'
}
# Option names from help lines such as "  -o,--output TEXT   settings file".
option_names() {
    grep -oE '^ +(-[A-Za-z],)?--[a-z0-9-]+' | tr ',' '\n' | tr -d ' ' | grep -vxE -- '-h|--help'
}

# An option is described when the page names it where an option stands.
# (Held in a variable: grep -q on a pipe would cut off its writer.)
check_page_option() { # PAGE OPTION
    local text
    text=$(page "$1")
    grep -qE -- "(^|[ \"])$2( |\"|,|$)" <<<"$text" || fail "$1(1) does not describe $2"
}

# ---- modemctl ----
# shellcheck source=/dev/null
source "$src/res/completion/modemctl"
completion_commands=$(sed -n 's/^ *local commands="\(.*\)"$/\1/p' "$src/res/completion/modemctl")
[ -n "$completion_commands" ] || fail "no command list found in the completion"

commands=$("$modemctl" --help | section "Subcommands:" | awk 'NF { print $1 }')
[ -n "$commands" ] || fail "modemctl --help lists no commands"
for option in $("$modemctl" --help | section "Options:" | option_names); do
    check_page_option modemctl "$option"
done
for command in $commands; do
    # A command is described by an item of its own: ".B ports", "\fBwrite\fP ...".
    grep -qE "^(\.B[IR]? \"?|\\\\fB)$command( |\"|\\\\fP|$)" <<<"$(page modemctl)" ||
        fail "modemctl(1) has no item for the command $command"
    [[ " $completion_commands " == *" $command "* ]] || fail "the completion does not offer $command"
    offered=" $(_modemctl_options "$command") "
    for option in $("$modemctl" "$command" --help | section "Options:" | option_names); do
        check_page_option modemctl "$option"
        [[ $offered == *" $option "* ]] || fail "the completion does not offer $command $option"
    done
done

# ---- modem-sim ----
if [ -n "$sim" ]; then
    for option in $("$sim" --help | section "Options:" | option_names); do
        check_page_option modem-sim "$option"
    done
    check_page_option modem-sim --version
fi

# ---- modemcfg: its usage, printed with a usage error ----
if [ -n "$cfg" ]; then
    usage=$(QT_QPA_PLATFORM=offscreen "$cfg" --no-such-option 2>&1)
    # The lines that explain one option each: "  --port PATH  use the serial port...".
    options=$(printf '%s\n' "$usage" | grep -oE -- '^  --[a-z0-9-]+' | tr -d ' ' | sort -u)
    [ -n "$options" ] || fail "modemcfg printed no usage: $usage"
    for option in $options; do
        check_page_option modemcfg "$option"
    done
fi

[ $failures -eq 0 ] && echo "every command and option is documented and completed"
exit $((failures > 0))
