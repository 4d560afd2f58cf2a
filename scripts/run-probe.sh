#!/usr/bin/env bash
# Runs the session probe against the simulated dealer: starts bin/dealer-sim
# on free ports, logs in as 1001/123456, lists symbols and accounts and
# watches quotes for ten seconds (or runs the kav-probe commands given after
# the folder), then stops the simulator.
#
#   scripts/run-probe.sh BIN_DIR [COMMAND]...
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: scripts/run-probe.sh BIN_DIR [COMMAND]..." >&2
    exit 2
fi
BIN="$1"
shift
for program in dealer-sim kav-probe; do
    if [ ! -x "$BIN/$program" ]; then
        echo "run-probe: $BIN/$program is missing; build first" >&2
        exit 1
    fi
done

source "$(cd "$(dirname "$0")" && pwd)/start-dealer.sh"
start_dealer run-probe "$BIN"
login="$(dealer_address login)"

commands=("$@")
if [ ${#commands[@]} -eq 0 ]; then
    commands=(symbols accounts watch 10)
fi
echo "run-probe: simulated dealer ready; kav-probe logs in at $login as 1001 and runs: ${commands[*]}"
status=0
"$BIN/kav-probe" --login "$login" --user 1001 --password 123456 "${commands[@]}" || status=$?
if [ "$status" -eq 1 ]; then
    echo "run-probe: kav-probe failed (exit status 1); the last lines of the simulated dealer's log:" >&2
    tail -n 40 "$work/dealer.log" >&2
elif [ "$status" -ne 0 ]; then
    echo "run-probe: kav-probe failed (exit status $status)" >&2
fi
exit "$status"
