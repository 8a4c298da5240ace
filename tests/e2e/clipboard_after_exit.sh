#!/usr/bin/env bash
# After Wendrel has ended, through Exit or a close request, the clipboard still holds its
# whole text, line breaks included: on a fresh X server (Xvfb) without a clipboard manager.
set -euo pipefail
helper="$1"
manager="${2:-}" # a fake clipboard manager, run for a second round
for tool in Xvfb xclip; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done

display=":$((50 + RANDOM % 200))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xclip -o -selection clipboard >/dev/null 2>&1 && break; xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5

failures=0
check() { # way, text typed (\n for a line break), text expected on the clipboard
  local way="$1" typed="$2" expected="$3"
  timeout 30 "$helper" "$way" "$typed" >/dev/null 2>&1
  sleep 0.3
  local got
  got="$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)"
  if [ "$got" == "$expected" ]; then
    echo "PASS: $way keeps the text"
  else
    echo "FAIL: $way: clipboard holds '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
}
check exit 'first line\nsecond line' $'first line\nsecond line'
check close 'closed with the close box' 'closed with the close box'

if [ -n "$manager" ]; then
  "$manager" > "$(dirname "$helper")/fake-manager.out" &
  manager_pid=$!
  trap 'kill $manager_pid $xvfb 2>/dev/null || true' EXIT
  sleep 0.5
  start=$SECONDS
  check exit 'with a clipboard manager' 'with a clipboard manager'
  check close 'closed, with a clipboard manager' 'closed, with a clipboard manager'
  if [ $((SECONDS - start)) -gt 20 ]; then
    echo "FAIL: ending took $((SECONDS - start)) s with a clipboard manager that does not answer"
    failures=$((failures + 1))
  fi
fi
[ "$failures" -eq 0 ]
