#!/usr/bin/env bash
# Builds one libFuzzer target with clang into build/fuzz and runs it.
#   scripts/fuzz.sh TARGET [SECONDS]   (60 by default)
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
# Whole seconds, at least one: libFuzzer reads a word it cannot count as no
# time limit, and the run would never end by itself.
case "$SECONDS_TO_RUN" in
  ''|*[!0-9]*|0|00*) echo "fuzz.sh: SECONDS must be a whole number of seconds above 0, not '$SECONDS_TO_RUN'" >&2; exit 2 ;;
esac
case "$TARGET" in
  frame_reader|handshake) CORPUS="tests/Core/WebSocket/fuzz/corpus/$TARGET" ;;
  envelope|quote_lines|records|push_stream|service_addresses)
    CORPUS="tests/Core/fuzz/corpus/$TARGET" ;;
  dealer_reply|register_reply) CORPUS="tests/app/fuzz/corpus/$TARGET" ;;
  image_codec) CORPUS="tests/platform/fuzz/corpus/$TARGET" ;;
  *) echo "fuzz.sh: unknown target $TARGET (${TARGETS// /, })" >&2; exit 2 ;;
esac
# The push stream touches thousands of coverage features with every input;
# libFuzzer's entropic scheduling keeps a frequency for each of them and
# spent several times the run itself doing so; the plain scheduling runs
# four to ten times as many inputs in the same time. Its inputs are a few
# texts as the dealer pushes them (the corpus' are under a kilobyte): one
# longer than 4 KB only repeats what its texts do, at a cost that grows
# with its length.
OPTIONS=()
MAX_LEN=70000
if [ "$TARGET" = push_stream ]; then
  OPTIONS+=(-entropic=0)
  MAX_LEN=4096
fi
# AddressSanitizer records the stack of every allocation and release, to
# name them in a report; with the allocations a parsed text makes, that
# bookkeeping cost the push stream a sixth of its time. Fuzzing finds the
# same faults without it; for those stacks, run the target on the artifact
# alone with ASAN_OPTIONS=malloc_context_size=30 (build/fuzz/bin/fuzz_TARGET FILE).
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
./scripts/install-deps.sh
BUILD=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAV_FUZZ=ON \
    -DKAV_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target "fuzz_$TARGET"
mkdir -p "$BUILD/corpus/$TARGET" "$BUILD/artifacts"
exec "$BUILD/bin/fuzz_$TARGET" -max_total_time="$SECONDS_TO_RUN" -max_len="$MAX_LEN" "${OPTIONS[@]}" \
    -artifact_prefix="$BUILD/artifacts/" "$BUILD/corpus/$TARGET" "$CORPUS"
