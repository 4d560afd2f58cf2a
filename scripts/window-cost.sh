#!/usr/bin/env bash
# What the desktop window costs against the headless application, side by
# side in one run: both log in to the same simulated dealer streaming quotes
# at each rate asked for, and the CPU each uses over the same span is read
# from /proc; then the window's wake-ups a second when idle (the login
# screen, and the board while no quote moves), counted as the voluntary
# context switches of its main thread, and its resident memory. Beside each
# round's figures, the main thread's share alone: the network thread does
# the same work in every program, and the main thread holds what the window
# adds (laying out, drawing and showing each frame).
#
#   scripts/window-cost.sh BIN_DIR [SECONDS [RATE]...]   (default: 20 s; 10 and 200 quotes/s)
#
# Environment:
#   CPUS=6,7         runs the windows and the headless application on these
#                    cores alone (taskset), so that they meet the same load
#   ROUNDS=3         measures each rate this many times; the medians close
#   BEFORE=BIN_DIR   runs another build's window beside this one's on the
#                    same dealer, the same quotes and the same span (before
#                    and after a change, in one run)
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
ROUNDS="${ROUNDS:-1}"
PIN=()
[ -z "${CPUS:-}" ] || PIN=(taskset -c "$CPUS")
# The windows measured: this build's, and the other one's when asked.
NAMES=(window)
BINS=("$BIN")
if [ -n "${BEFORE:-}" ]; then
    NAMES+=(before)
    BINS+=("$(cd "$BEFORE" && pwd)")
fi
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

# CPU time of a process in nanoseconds: the scheduler's own count of every
# live thread (a headless application at 10 quotes a second uses a few clock
# ticks in a span, too coarse to divide by). A thread that ends within the
# span takes its time with it; the programs measured keep theirs. Where the
# kernel keeps no such count, the clock ticks of /proc/PID/stat.
cpu_ns() {
    if [ -r "/proc/$1/schedstat" ]; then
        cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'
    else
        awk -v hz="$hz" '{ printf "%.0f\n", ($14 + $15) * 1e9 / hz }' "/proc/$1/stat"
    fi
}
# The same for the main thread alone.
main_ns() {
    if [ -r "/proc/$1/task/$1/schedstat" ]; then
        awk '{ print $1 }' "/proc/$1/task/$1/schedstat"
    else
        awk -v hz="$hz" '{ printf "%.0f\n", ($14 + $15) * 1e9 / hz }' "/proc/$1/task/$1/stat"
    fi
}
switches() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/task/$1/status"; }
rss() { awk '/^VmRSS/ { print $2 " " $3 }' "/proc/$1/status"; }
hz=$(getconf CLK_TCK)
calc() { awk "BEGIN { print ($1) }"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

start_sim() {
    "$BIN/dealer-sim" --port-base 0 --quiet --quote-rate "$1" >"$work/addresses" 2>"$work/dealer.log" &
    sim=$!
    pids+=($sim)
    for _ in $(seq 1 150); do grep -qx ready "$work/addresses" 2>/dev/null && return 0; sleep 0.1; done
    echo "window-cost: the simulated dealer was not ready" >&2
    exit 1
}
address() { awk -v key="$1" '$1 == key { print $2 }' "$work/addresses"; }

# Window i of NAMES/BINS, side by side on the display; its process id in
# windows[i], its X window in wids[i], its place in wx[i], wy[i].
windows=() wids=() wx=() wy=()
start_window() {
    local i=$1 wid=""
    rm -rf "$work/window-data-$i"
    KAV_DEALER_SERVICE="$(address dealer)" KAV_DATA_DIR="$work/window-data-$i" SDL_AUDIODRIVER=dummy \
        "${PIN[@]}" "${BINS[$i]}/kav-trader" --window --scale "$SCALE" >"$work/window-$i.log" 2>&1 &
    windows[i]=$!
    pids+=($!)
    # Side by side, never over one another. A window just shown may still
    # be placed where it opened, and one SDL opens for a moment may be
    # found first: looked up and moved until the move holds.
    X=-1 Y=-1
    for _ in $(seq 1 100); do
        wid="$(xdotool search --all --pid "${windows[$i]}" --name '^KAV Trader$' 2>/dev/null | tail -n1)" || true
        if [ -n "$wid" ] && xdotool windowmove "$wid" $((40 + i * 400)) 40 2>/dev/null; then
            sleep 0.1
            eval "$(xdotool getwindowgeometry --shell "$wid" 2>/dev/null)" || true
            [ "$X" -eq $((40 + i * 400)) ] && [ "$Y" -eq 40 ] && break
        fi
        sleep 0.1
    done
    wids[i]=$wid
    wx[i]=$X
    wy[i]=$Y
}
click() {
    xdotool mousemove --sync $((wx[$1] + $2 * SCALE)) $((wy[$1] + $3 * SCALE)) click 1
    sleep 0.6
}
login_window() {
    click "$1" "${ACCOUNT[@]}"
    xdotool type --delay 40 1001
    xdotool key Tab
    xdotool type --delay 40 123456
    click "$1" "${DONE_KEY[@]}"
    click "$1" "${LOGIN[@]}"
}
# Each window is logged in before the next opens: keys go to the window
# shown last (there is no window manager to move the focus on a click).
start_windows() {
    for i in "${!NAMES[@]}"; do
        start_window "$i"
        sleep 3  # the built-in dealer looked up, the form shown
        [ -z "${1:-}" ] || login_window "$i"
    done
    [ -z "${1:-}" ] || sleep 4
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
wait $((SPAN + 60))
quit
EOF
    rm -rf "$work/headless-data"
    KAV_DEALER_SERVICE="$(address dealer)" KAV_DATA_DIR="$work/headless-data" \
        "${PIN[@]}" "$BIN/kav-trader" --headless --script "$work/login.kav" >"$work/headless.log" 2>&1 &
    headless=$!
    pids+=($headless)
}
stop() {
    kill "$@" 2>/dev/null || true
    wait "$@" 2>/dev/null || true
}

echo "CPU in cores on the board, ${SPAN} s a round${CPUS:+, pinned to CPUs $CPUS}"
printf '%-8s %-6s' "quotes/s" "round"
for n in "${NAMES[@]}"; do printf ' %10s' "$n"; done
printf ' %10s' headless
for n in "${NAMES[@]}"; do printf ' %10s' "$n/head"; done
echo
declare -A cpu main
for round in $(seq 1 "$ROUNDS"); do
    for rate in "${RATES[@]}"; do
        start_sim "$rate"
        start_headless
        start_windows login
        w0=() w1=() m0=() m1=()
        for i in "${!NAMES[@]}"; do w0[i]=$(cpu_ns "${windows[$i]}") m0[i]=$(main_ns "${windows[$i]}"); done
        h0=$(cpu_ns "$headless") hm0=$(main_ns "$headless")
        sleep "$SPAN"
        for i in "${!NAMES[@]}"; do w1[i]=$(cpu_ns "${windows[$i]}") m1[i]=$(main_ns "${windows[$i]}"); done
        h1=$(cpu_ns "$headless") hm1=$(main_ns "$headless")
        hc=$(calc "($h1 - $h0) / 1e9 / $SPAN")
        cpu[headless,$rate]+="$hc "
        printf '%-8s %-6s' "$rate" "$round"
        for i in "${!NAMES[@]}"; do
            wc=$(calc "(${w1[$i]} - ${w0[$i]}) / 1e9 / $SPAN")
            cpu[${NAMES[$i]},$rate]+="$wc "
            printf ' %10.4f' "$wc"
        done
        printf ' %10.4f' "$hc"
        for i in "${!NAMES[@]}"; do
            printf ' %10.1f' "$(calc "$h1 > $h0 ? (${w1[$i]} - ${w0[$i]}) / ($h1 - $h0) : 0")"
        done
        printf '   RSS:'
        for i in "${!NAMES[@]}"; do printf ' %s %s;' "${NAMES[$i]}" "$(rss "${windows[$i]}")"; done
        printf '   main thread:'
        for i in "${!NAMES[@]}"; do
            mc=$(calc "(${m1[$i]} - ${m0[$i]}) / 1e9 / $SPAN")
            main[${NAMES[$i]},$rate]+="$mc "
            printf ' %s %.4f;' "${NAMES[$i]}" "$mc"
        done
        hmc=$(calc "($hm1 - $hm0) / 1e9 / $SPAN")
        main[headless,$rate]+="$hmc "
        printf ' headless %.4f' "$hmc"
        echo
        stop "${windows[@]}" "$headless" "$sim"
    done
done
for rate in "${RATES[@]}"; do
    # shellcheck disable=SC2086
    hm=$(median ${cpu[headless,$rate]})
    printf '%-8s %-6s' "$rate" median
    for n in "${NAMES[@]}"; do
        # shellcheck disable=SC2086
        printf ' %10.4f' "$(median ${cpu[$n,$rate]})"
    done
    printf ' %10.4f' "$hm"
    for n in "${NAMES[@]}"; do
        # shellcheck disable=SC2086
        printf ' %10.1f' "$(calc "$hm > 0 ? $(median ${cpu[$n,$rate]}) / $hm : 0")"
    done
    printf '   main thread:'
    for n in "${NAMES[@]}"; do
        # shellcheck disable=SC2086
        printf ' %s %.4f;' "$n" "$(median ${main[$n,$rate]})"
    done
    # shellcheck disable=SC2086
    printf ' headless %.4f' "$(median ${main[headless,$rate]})"
    echo
done

# Idle: the login screen, then the board with no quotes.
start_sim 0
start_windows
s0=() s1=()
for i in "${!NAMES[@]}"; do s0[i]=$(switches "${windows[$i]}"); done
sleep "$SPAN"
for i in "${!NAMES[@]}"; do s1[i]=$(switches "${windows[$i]}"); done
for i in "${!NAMES[@]}"; do
    printf '%-6s idle login screen: %.2f wake-ups a second (%d over %s s)\n' "${NAMES[$i]}" \
        "$(calc "(${s1[$i]} - ${s0[$i]}) / $SPAN")" $((s1[i] - s0[i])) "$SPAN"
done
stop "${windows[@]}"
start_windows login
c0=()
for i in "${!NAMES[@]}"; do s0[i]=$(switches "${windows[$i]}") c0[i]=$(cpu_ns "${windows[$i]}"); done
sleep "$SPAN"
for i in "${!NAMES[@]}"; do
    s=$(switches "${windows[$i]}") c1=$(cpu_ns "${windows[$i]}")
    printf '%-6s idle board (no quotes): %.2f wake-ups a second (%d over %s s), CPU %d ms, RSS %s\n' \
        "${NAMES[$i]}" "$(calc "($s - ${s0[$i]}) / $SPAN")" $((s - s0[i])) "$SPAN" \
        $(((c1 - c0[i]) / 1000000)) "$(rss "${windows[$i]}")"
done
stop "${windows[@]}" "$sim"
