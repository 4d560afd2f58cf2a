#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the Debug configuration
# with AddressSanitizer and UBSan into build/test, then runs ctest.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
BUILD=build/test
# A new build folder is made for Ninja, which compiles a target's sources while
# the libraries it links are still being built (make waits for them, leaving
# cores idle); a folder made before keeps the generator it was made with.
# It is made with clang as well, which compiles this code with the sanitizers
# in about half the time GCC takes (both are kept -Wall -Wextra clean; the
# Release build and ./run.sh use the system's default compiler).
GENERATOR=()
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  if command -v ninja >/dev/null; then
    GENERATOR=(-G Ninja)
  fi
  if command -v clang++ >/dev/null && command -v clang >/dev/null; then
    export CC=clang CXX=clang++
  fi
fi
# Debug information is line tables only (-g1): the sanitizers' reports still
# name every function, file and line, and the test build compiles a tenth
# faster without the types and variables a debugger would show.
cmake "${GENERATOR[@]}" -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  -DKAV_SANITIZE=ON -DKAV_BUILD_BENCH=OFF -DKAV_UNITY=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$BUILD"
# Two slots of the resource "cpus" a core, twice as many jobs: an ordinary test
# takes two slots, one that mostly waits takes one (kav_test's WAITS), so the
# waits do not leave cores idle.
SLOTS=$((2 * $(nproc)))
printf '{"version":{"major":1,"minor":0},"local":[{"cpus":[{"id":"0","slots":%d}]}]}\n' \
  "$SLOTS" > cpus.json
ctest --output-on-failure -j"$SLOTS" --resource-spec-file cpus.json "$@"
