#!/usr/bin/env bash
# Runs the system against the built-in simulated dealer: installs what is
# missing, builds build/release (RelWithDebInfo) and starts the application
# (scripts/run-app.sh): in its desktop window when a display is there, else
# the headless tour, whose screenshots it keeps. `./run.sh probe ...` runs the
# session probe instead (scripts/run-probe.sh).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
BUILD=build/release
# Only the programs a run starts are built (the benchmarks and the other
# tools wait for their own build), in unity batches as the tests' build is.
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAV_BUILD_TESTS=OFF \
      -DKAV_UNITY=ON >/dev/null
if [ "${1:-}" = probe ]; then
    programs=(dealer-sim kav-probe)
else
    programs=(dealer-sim kav-trader)
fi
cmake --build "$BUILD" -j"$(nproc)" --target "${programs[@]}"
BIN="$BUILD/bin"

if [ "${1:-}" = probe ]; then
    shift
    exec ./scripts/run-probe.sh "$BIN" "$@"
fi
exec ./scripts/run-app.sh "$BIN" "$@"
