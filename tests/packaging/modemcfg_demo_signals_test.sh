#!/usr/bin/env bash
# modemcfg --demo ended by a signal leaves no modem-sim behind: SIGTERM and
# SIGHUP end the dialog as closing it does (status 128 + the signal), and after
# SIGKILL the system stops the simulator. (SIGINT is handled as SIGTERM, but a
# background job such as this one has it ignored.)
# Usage: modemcfg_demo_signals_test.sh MODEMCFG
set -uo pipefail
command -v pgrep >/dev/null 2>&1 || exit 77
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Present and no zombie (an orphan's end may never be collected here).
running() { [ -e "/proc/$1" ] && ! grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }
# Waits up to ten seconds for PID to end.
ends() { for _ in $(seq 100); do running "$1" || return 0; sleep 0.1; done; return 1; }

for signal in TERM:143 HUP:129 KILL:137; do
    QT_QPA_PLATFORM=offscreen "$1" --demo 2>/dev/null &
    cfg=$!
    for _ in $(seq 150); do sim=$(pgrep -P $cfg -x modem-sim) && break; sleep 0.2; done
    kill -"${signal%:*}" $cfg
    ends $cfg || { fail "SIG${signal%:*}: modemcfg still runs"; kill -KILL $cfg; }
    wait $cfg
    status=$?
    [ $status -eq "${signal#*:}" ] || fail "SIG${signal%:*}: modemcfg exits $status"
    if [ -z "$sim" ]; then
        fail "SIG${signal%:*}: no modem-sim started"
    elif ! ends "$sim"; then
        fail "SIG${signal%:*}: modem-sim outlives modemcfg"
        kill -KILL "$sim"
    fi
done
[ $failures -eq 0 ] && echo "no modem-sim left behind by any signal"
exit $((failures > 0))
