# Sourced by the runners: starts bin/dealer-sim on free ports in a fresh work
# folder ($work), stops it and removes the folder on exit, and waits until it
# has printed its addresses and "ready"; its log goes to $work/dealer.log and
# is shown only if something goes wrong.
#
#   source scripts/start-dealer.sh; start_dealer NAME BIN_DIR
#   dealer_address login    # the address printed on the simulator's "login" line

work=""
dealer_pid=""
cleanup() {
    if [ -n "$dealer_pid" ] && kill -0 "$dealer_pid" 2>/dev/null; then
        kill "$dealer_pid" 2>/dev/null || true
        wait "$dealer_pid" 2>/dev/null || true
    fi
    if [ -n "$work" ]; then rm -rf "$work"; fi
}

start_dealer() {
    local name="$1" bin="$2"
    work="$(mktemp -d)"
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    "$bin/dealer-sim" --port-base 0 >"$work/addresses" 2>"$work/dealer.log" &
    dealer_pid=$!
    for _ in $(seq 1 150); do
        grep -qx ready "$work/addresses" && return 0
        if ! kill -0 "$dealer_pid" 2>/dev/null; then
            echo "$name: the simulated dealer stopped before it was ready:" >&2
            cat "$work/dealer.log" >&2
            exit 1
        fi
        sleep 0.1
    done
    echo "$name: the simulated dealer was not ready within 15 s" >&2
    cat "$work/dealer.log" >&2
    exit 1
}

dealer_address() {
    awk -v key="$1" '$1 == key { print $2 }' "$work/addresses"
}
