#!/usr/bin/env bash
# Builds one libFuzzer target with clang into build/fuzz and runs it.
#   scripts/fuzz.sh TARGET SECONDS
# Targets: frame_reader, handshake (the WebSocket client); envelope,
# quote_lines, records, push_stream, service_addresses (the trading core:
# received texts and packages, compressed quote lines, record parsers, the
# push dispatcher, the service addresses of a login reply); dealer_reply,
# register_reply (the web services' replies: the dealer definition, the
# registration and password reset); image_codec (PNG and JPEG decoding).
# New inputs collect in build/fuzz/corpus/TARGET, crashes in build/fuzz/artifacts;
# inputs worth keeping go to the target's corpus in the source tree
# (tests/Core/WebSocket/fuzz/corpus/TARGET, tests/Core/fuzz/corpus/TARGET,
# tests/app/fuzz/corpus/TARGET or tests/platform/fuzz/corpus/TARGET), which
# CTest replays in every build.
set -euo pipefail
cd "$(dirname "$0")/.."
TARGETS="frame_reader handshake envelope quote_lines records push_stream service_addresses"
TARGETS+=" dealer_reply register_reply image_codec"
TARGET="${1:?usage: scripts/fuzz.sh TARGET SECONDS (TARGET: ${TARGETS// /, })}"
SECONDS_TO_RUN="${2:-60}"
case "$TARGET" in
  frame_reader|handshake) CORPUS="tests/Core/WebSocket/fuzz/corpus/$TARGET" ;;
  envelope|quote_lines|records|push_stream|service_addresses)
    CORPUS="tests/Core/fuzz/corpus/$TARGET" ;;
  dealer_reply|register_reply) CORPUS="tests/app/fuzz/corpus/$TARGET" ;;
  image_codec) CORPUS="tests/platform/fuzz/corpus/$TARGET" ;;
  *) echo "fuzz.sh: unknown target $TARGET (${TARGETS// /, })" >&2; exit 2 ;;
esac
# The push stream touches some ten thousand coverage features with every
# input; libFuzzer's entropic scheduling keeps a frequency for each of them
# and spent several times the run itself doing so; the plain scheduling
# runs four to ten times as many inputs in the same time.
OPTIONS=()
[ "$TARGET" = push_stream ] && OPTIONS+=(-entropic=0)
./scripts/install-deps.sh
BUILD=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAV_FUZZ=ON \
    -DKAV_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target "fuzz_$TARGET"
mkdir -p "$BUILD/corpus/$TARGET" "$BUILD/artifacts"
exec "$BUILD/bin/fuzz_$TARGET" -max_total_time="$SECONDS_TO_RUN" -max_len=70000 "${OPTIONS[@]}" \
    -artifact_prefix="$BUILD/artifacts/" "$BUILD/corpus/$TARGET" "$CORPUS"
