#!/usr/bin/env bash
# The built manual pages format without a single warning from groff, carry a
# NAME line that whatis and apropos can index, and their compressed copies
# (the ones installed) hold the same text.
# Usage: manual_pages_test.sh MAN_BUILD_DIR
set -uo pipefail
dir=$1
command -v man >/dev/null 2>&1 || { echo "man not found"; exit 77; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

for name in modemcfg modemctl modem-sim; do
    page=$dir/$name.1
    [ -f "$page" ] || { fail "$page missing"; continue; }
    # The way lintian formats a page to look for groff's complaints.
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$name.1: $warnings"
    if command -v lexgrog >/dev/null 2>&1; then
        whatis=$(lexgrog "$page" 2>&1)
        [[ $whatis == *"\"$name - "* ]] || fail "$name.1 has no whatis entry: $whatis"
    fi
    cmp -s "$page" <(gzip -dc "$page.gz") || fail "$name.1.gz does not hold $name.1"
    # A configured page has no placeholder left.
    ! grep -n '@[A-Z_]*@' "$page" || fail "$name.1 has an unreplaced placeholder"
done

[ $failures -eq 0 ] && echo "the manual pages format cleanly"
exit $((failures > 0))
