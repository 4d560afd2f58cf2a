#!/usr/bin/env bash
# scripts/fuzz.sh refuses a run length it cannot count, with status 2 and
# before it builds anything, rather than start a run without end.
#   FuzzScriptTest.sh PATH/TO/fuzz.sh
script="$1"
status=0
for seconds in abc 0 -5 1.5 10x; do
  out="$("$script" envelope "$seconds" 2>&1)"
  code=$?
  if [ "$code" -ne 2 ] || [[ "$out" != *"SECONDS must be"* ]]; then
    echo "fuzz.sh envelope $seconds: exit status $code: $out"
    status=1
  fi
done
exit "$status"
