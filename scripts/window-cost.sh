#!/usr/bin/env bash
# What the desktop window costs against the headless application, side by
# side in one run: both log in to the same simulated dealer streaming quotes
# at each rate asked for, and the CPU each uses over the same span is read
# from /proc; then the window's wake-ups a second when idle (the login
# screen, and the board while no quote moves), counted as the voluntary
# context switches of its main thread, and its resident memory.
#
#   scripts/window-cost.sh BIN_DIR [SECONDS [RATE]...]   (default: 20 s; 10 and 200 quotes/s)
#
# Needs Xvfb and xdotool (scripts/install-deps.sh). Measure a Release build.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: scripts/window-cost.sh BIN_DIR [SECONDS [RATE]...]" >&2
    exit 2
fi
BIN="$(cd "$1" && pwd)"
SPAN="${2:-20}"
shift $(($# < 2 ? $# : 2))
RATES=("$@")
[ ${#RATES[@]} -gt 0 ] || RATES=(10 200)
work="$(mktemp -d)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# Where the login form's account field and login button lie (points) with
# the keyboard away.
ACCOUNT=(160 276)
LOGIN=(160 450)
# The keyboard bar's Done with the keyboard up.
DONE_KEY=(286 330)
SCALE=1

# An X server of a laptop's size.
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
switches() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/task/$1/status"; }
rss() { awk '/^VmRSS/ { print $2 " " $3 }' "/proc/$1/status"; }
hz=$(getconf CLK_TCK)
calc() { awk "BEGIN { print $1 }"; }

start_sim() {
    "$BIN/dealer-sim" --port-base 0 --quiet --quote-rate "$1" >"$work/addresses" 2>"$work/dealer.log" &
    sim=$!
    pids+=($sim)
    for _ in $(seq 1 150); do grep -qx ready "$work/addresses" && return 0; sleep 0.1; done
    echo "window-cost: the simulated dealer was not ready" >&2
    exit 1
}
address() { awk -v key="$1" '$1 == key { print $2 }' "$work/addresses"; }

# The window, logged in with the mouse and keys; its process id in $window.
start_window() {
    rm -rf "$work/window-data"
    KAV_DEALER_SERVICE="$(address dealer)" KAV_DATA_DIR="$work/window-data" SDL_AUDIODRIVER=dummy \
        "$BIN/kav-trader" --window --scale "$SCALE" >"$work/window.log" 2>&1 &
    window=$!
    pids+=($window)
    for _ in $(seq 1 100); do
        wid="$(xdotool search --name '^KAV Trader$' 2>/dev/null | head -n1)" && [ -n "$wid" ] && break
        sleep 0.1
    done
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    sleep 3  # the built-in dealer looked up, the form shown
}
click() {
    xdotool mousemove --sync $((X + $1 * SCALE)) $((Y + $2 * SCALE)) click 1
    sleep 0.6
}
login_window() {
    click "${ACCOUNT[@]}"
    xdotool type --delay 40 1001
    xdotool key Tab
    xdotool type --delay 40 123456
    click "${DONE_KEY[@]}"
    click "${LOGIN[@]}"
    sleep 4
}
# The headless application logged in by script, waiting on the board.
start_headless() {
    cat >"$work/login.kav" <<EOF
wait-text 登录 15
wait-gone 正在初始化服务
tap-tag 7001
type 1001
tap-tag 7002
type 123456
tap Done
tap 登录
wait-gone 登录 30
wait-text 行情 10
wait $((SPAN + 30))
quit
EOF
    rm -rf "$work/headless-data"
    KAV_DEALER_SERVICE="$(address dealer)" KAV_DATA_DIR="$work/headless-data" \
        "$BIN/kav-trader" --headless --script "$work/login.kav" >"$work/headless.log" 2>&1 &
    headless=$!
    pids+=($headless)
}
stop() {
    kill "$@" 2>/dev/null || true
    wait "$@" 2>/dev/null || true
}

printf '%-34s %10s %10s %8s\n' "board, quotes a second" "window" "headless" "ratio"
for rate in "${RATES[@]}"; do
    start_sim "$rate"
    start_headless
    start_window
    login_window
    w0=$(ticks "$window") h0=$(ticks "$headless")
    sleep "$SPAN"
    w1=$(ticks "$window") h1=$(ticks "$headless")
    wc=$(calc "($w1 - $w0) / $hz / $SPAN")
    hc=$(calc "($h1 - $h0) / $hz / $SPAN")
    ratio=$(calc "$h1 > $h0 ? ($w1 - $w0) / ($h1 - $h0) : 0")
    printf '%-34s %10.4f %10.4f %8.1f   (cores; CPU ticks %d and %d over %s s)\n' \
        "$rate" "$wc" "$hc" "$ratio" $((w1 - w0)) $((h1 - h0)) "$SPAN"
    echo "  window RSS on the board at $rate quotes/s: $(rss "$window")"
    stop "$window" "$headless" "$sim"
done

# Idle: the login screen, then the board with no quotes.
start_sim 0
start_window
s0=$(switches "$window")
sleep "$SPAN"
s1=$(switches "$window")
printf 'idle login screen: %.2f wake-ups a second (%d over %s s)\n' \
    "$(calc "($s1 - $s0) / $SPAN")" $((s1 - s0)) "$SPAN"
login_window
s0=$(switches "$window") c0=$(ticks "$window")
sleep "$SPAN"
s1=$(switches "$window") c1=$(ticks "$window")
printf 'idle board (no quotes): %.2f wake-ups a second (%d over %s s), CPU ticks %d\n' \
    "$(calc "($s1 - $s0) / $SPAN")" $((s1 - s0)) "$SPAN" $((c1 - c0))
echo "window RSS on the idle board: $(rss "$window")"
stop "$window" "$sim"
