#!/usr/bin/env bash
# Runs the monkey (tests/app/Monkey.h) long: seeds FIRST to LAST, STEPS
# random actions each, JOBS at a time, in the sanitized test build.
#   scripts/monkey.sh FIRST LAST [STEPS] [JOBS]
# Each seed's actions and report go to build/test/monkey/seed-N.log; the
# seeds that failed (a fault, a sanitizer report, a hang) are listed at the
# end, and the run exits 1 when there is one. The last action of a log is
# the one that faulted; run that seed alone to see it again:
#   KAV_MONKEY_SEED=N KAV_MONKEY_STEPS=S build/test/bin/app_monkey_tests --gtest_filter='*OneSeed'
set -uo pipefail
cd "$(dirname "$0")/.."
FIRST="${1:?usage: scripts/monkey.sh FIRST LAST [STEPS] [JOBS]}"
LAST="${2:?usage: scripts/monkey.sh FIRST LAST [STEPS] [JOBS]}"
STEPS="${3:-300}"
JOBS="${4:-2}"
# Whole numbers only: a word seq cannot count, or seeds FIRST > LAST, ran no
# seed, and the run said they all passed.
whole() { case "$1" in ''|*[!0-9]*|???????????????????*) return 1 ;; esac; }
if ! whole "$FIRST" || ! whole "$LAST" || ! whole "$STEPS" || ! whole "$JOBS" ||
   [ "$LAST" -lt "$FIRST" ] || [ "$STEPS" -lt 1 ] || [ "$JOBS" -lt 1 ]; then
  echo "usage: scripts/monkey.sh FIRST LAST [STEPS] [JOBS] (whole numbers; FIRST <= LAST; STEPS, JOBS >= 1)" >&2
  exit 2
fi
BIN=build/test/bin/app_monkey_tests
[ -x "$BIN" ] || { echo "monkey.sh: build $BIN first (cmake --build build/test --target app_monkey_tests)" >&2; exit 2; }
mkdir -p build/test/monkey
rm -f build/test/monkey/failed
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export KAV_MONKEY_STEPS="$STEPS"
seq "$FIRST" "$LAST" | xargs -P "$JOBS" -I{} sh -c \
  'KAV_MONKEY_SEED={} "$0" --gtest_filter="*OneSeed" > build/test/monkey/seed-{}.log 2>&1 || echo {} >> build/test/monkey/failed' "$BIN"
if [ -s build/test/monkey/failed ]; then
  echo "failed seeds: $(sort -n build/test/monkey/failed | tr '\n' ' ')"
  rm -f build/test/monkey/failed
  exit 1
fi
echo "seeds $FIRST to $LAST passed ($STEPS steps each)"
