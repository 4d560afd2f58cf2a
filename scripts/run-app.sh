#!/usr/bin/env bash
# Runs the application against the simulated dealer: starts bin/dealer-sim on
# free ports, points the application's dealer-definition service at it, gives
# the application a fresh data folder, and runs bin/kav-trader in its desktop
# window when a display is there. Without one it runs the tour script
# (scripts/tour.kav) headless and keeps the screenshots of every screen the
# tour passes in a folder it names on exit.
#
#   scripts/run-app.sh BIN_DIR [kav-trader ARGUMENT]...
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: scripts/run-app.sh BIN_DIR [kav-trader ARGUMENT]..." >&2
    exit 2
fi
BIN="$1"
shift
HERE="$(cd "$(dirname "$0")" && pwd)"
for program in dealer-sim kav-trader; do
    if [ ! -x "$BIN/$program" ]; then
        echo "run-app: $BIN/$program is missing; build first" >&2
        exit 1
    fi
done

source "$HERE/start-dealer.sh"
start_dealer run-app "$BIN"

# Every run starts from an empty dealer store: the dealers' addresses change
# with the simulator's ports.
export KAV_DEALER_SERVICE="$(dealer_address dealer)"
export KAV_REGISTER_SERVICE="$(dealer_address register)"
export KAV_DATA_DIR="$work/data"
login="$(dealer_address login)"
echo "run-app: simulated dealer ready (login $login, dealers $KAV_DEALER_SERVICE);" \
     "demo account 1001, password 123456"

status=0
if [ $# -gt 0 ]; then
    "$BIN/kav-trader" "$@" || status=$?
    exit "$status"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    # Status 3: the display named cannot be opened after all.
    "$BIN/kav-trader" --window || status=$?
    if [ "$status" -ne 3 ]; then
        exit "$status"
    fi
fi

# No display: the tour.
shots="$(mktemp -d "${TMPDIR:-/tmp}/kav-tour-XXXXXX")"
echo "run-app: no display; running the tour headless"
status=0
"$BIN/kav-trader" --headless --script "$HERE/tour.kav" --shots "$shots" || status=$?
if [ "$status" -ne 0 ]; then
    echo "run-app: the tour failed (exit status $status); the last lines of the simulated dealer's log:" >&2
    tail -n 20 "$work/dealer.log" >&2
fi
echo "run-app: the tour's screenshots are in $shots"
exit "$status"
