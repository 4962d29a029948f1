#!/usr/bin/env bash
# modemcfg --demo ended by a signal leaves no simulated modem behind: SIGTERM,
# SIGHUP and SIGINT end the dialog's loop as closing it does (exit status
# 128 + the signal), and even SIGKILL, which no program can answer, makes the
# system stop the simulator.
# Usage: modemcfg_demo_signals_test.sh MODEMCFG
set -uo pipefail
cfg=$1
command -v pgrep >/dev/null 2>&1 || { echo "pgrep not found"; exit 77; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Running means present and not a zombie: an orphan that has ended waits for
# a parent that may never collect it.
running() { # PID
    [ -e "/proc/$1" ] && ! grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null
}

for signal in TERM HUP INT KILL; do
    QT_QPA_PLATFORM=offscreen "$cfg" --demo 2>/dev/null &
    cfg_pid=$!
    sim_pid=
    for _ in $(seq 150); do
        sim_pid=$(pgrep -P "$cfg_pid" -x modem-sim)
        [ -n "$sim_pid" ] && break
        sleep 0.2
    done
    if [ -z "$sim_pid" ]; then
        fail "SIG$signal: modemcfg --demo started no modem-sim"
        kill -KILL "$cfg_pid" 2>/dev/null
        wait "$cfg_pid" 2>/dev/null
        continue
    fi
    kill -"$signal" "$cfg_pid"
    # A program that ignores the signal (a background job's SIGINT, unless it
    # catches it) is no hang of the test.
    for _ in $(seq 100); do
        running "$cfg_pid" || break
        sleep 0.1
    done
    if running "$cfg_pid"; then
        fail "SIG$signal: modemcfg still runs"
        kill -KILL "$cfg_pid"
    fi
    wait "$cfg_pid"
    status=$?
    case $signal in
        TERM) expected=143 ;;
        HUP) expected=129 ;;
        INT) expected=130 ;;
        KILL) expected=137 ;;
    esac
    [ $status -eq $expected ] || fail "SIG$signal: modemcfg exits $status, not $expected"
    for _ in $(seq 50); do
        running "$sim_pid" || break
        sleep 0.1
    done
    if running "$sim_pid"; then
        fail "SIG$signal: modem-sim $sim_pid outlives modemcfg"
        kill -KILL "$sim_pid" 2>/dev/null
    fi
done

[ $failures -eq 0 ] && echo "no modem-sim left behind by any signal"
exit $((failures > 0))
