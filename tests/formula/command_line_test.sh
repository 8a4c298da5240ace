#!/usr/bin/env bash
# wendrel-formula reads a formula a line and prints "formula<TAB>result" a line.
set -euo pipefail
got="$(printf '%s\n' '2+3*4' '(1+1)*2+3' '1/0' '2+a' '-(-2)^2' '' '7/2' | "$1")"
expected="$(printf '%s\t%s\n' '2+3*4' 14 '(1+1)*2+3' 7 '1/0' Overflow '2+a' Error '-(-2)^2' -4 '' Error '7/2' 3.5)"
if [ "$got" != "$expected" ]; then
  echo "FAIL"; diff <(echo "$expected") <(echo "$got"); exit 1
fi
echo "PASS: wendrel-formula"
