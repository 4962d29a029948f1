#!/usr/bin/env bash
# modemcfg --demo starts the simulated modem found beside it, draws its dialog
# and, with --quit-when-shown, says so and closes by itself with status 0; the
# simulator goes with it. A dialog that never appears runs into the timeout.
# Usage: modemcfg_start_test.sh MODEMCFG
set -uo pipefail
cfg=$1
out=$(QT_QPA_PLATFORM=offscreen timeout 60 "$cfg" --demo --quit-when-shown 2>&1)
status=$?
if [ $status -ne 0 ] || [[ $out != *"modemcfg: dialog shown: "?* ]]; then
    echo "FAIL: modemcfg --demo --quit-when-shown exits $status: $out"
    exit 1
fi
echo "$out"
