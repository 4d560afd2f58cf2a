#!/usr/bin/env bash
# scripts/monkey.sh refuses arguments that make no run, with its usage and
# status 2, rather than report seeds it never ran as passed.
#   MonkeyScriptTest.sh PATH/TO/monkey.sh
script="$1"
status=0
for args in "a b" "1 b" "2 1" "-1 3" "1 2 abc" "1 2 0" "1 2 10 0" "1 2 10 x" \
            "1 99999999999999999999"; do
  # shellcheck disable=SC2086
  out="$("$script" $args 2>&1)"
  code=$?
  if [ "$code" -ne 2 ] || [[ "$out" != *usage:* ]]; then
    echo "monkey.sh $args: exit status $code: $out"
    status=1
  fi
done
exit "$status"
