#!/usr/bin/env bash
# Builds one libFuzzer target with clang into build/fuzz and runs it.
#   scripts/fuzz.sh TARGET SECONDS      TARGET: frame_reader | handshake
# New inputs collect in build/fuzz/corpus/TARGET, crashes in build/fuzz/artifacts;
# inputs worth keeping go to tests/Core/WebSocket/fuzz/corpus/TARGET, which
# CTest replays in every build.
set -euo pipefail
cd "$(dirname "$0")/.."
TARGET="${1:?usage: scripts/fuzz.sh TARGET SECONDS (TARGET: frame_reader or handshake)}"
SECONDS_TO_RUN="${2:-60}"
case "$TARGET" in
  frame_reader|handshake) ;;
  *) echo "fuzz.sh: unknown target $TARGET (frame_reader or handshake)" >&2; exit 2 ;;
esac
./scripts/install-deps.sh
BUILD=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAV_FUZZ=ON \
    -DKAV_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target "fuzz_$TARGET"
mkdir -p "$BUILD/corpus/$TARGET" "$BUILD/artifacts"
exec "$BUILD/bin/fuzz_$TARGET" -max_total_time="$SECONDS_TO_RUN" -max_len=70000 \
    -artifact_prefix="$BUILD/artifacts/" "$BUILD/corpus/$TARGET" "tests/Core/WebSocket/fuzz/corpus/$TARGET"
