#!/usr/bin/env bash
# Wendrel on a bare X server (Xvfb, no window manager) of 240 x 320: the window covers the whole
# screen, so no key is cut off. And a draft folder where nothing can be kept shows in the
# window's title.
#   bare_x_server.sh WENDREL
set -euo pipefail
wendrel="$1"
for tool in Xvfb xdotool xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done

work="$(mktemp -d)"
xvfb="" app=""
cleanup() {
  [ -n "$app" ] && kill -9 "$app" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for _ in $(seq 50); do
  number=$((400 + RANDOM % 500))
  [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] || break
done
export DISPLAY=":$number" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"
Xvfb "$DISPLAY" -screen 0 240x320x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do kill -0 "$xvfb" 2>/dev/null && xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
xdpyinfo >/dev/null 2>&1 || { echo "FAIL: Xvfb did not start"; exit 1; }

# Starts wendrel with the state folder $1 and leaves its window in $window.
window=""
start_app() {
  XDG_STATE_HOME="$1" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" "$wendrel" >>"$work/wendrel.log" 2>&1 &
  app=$!
  window=""
  for _ in $(seq 100); do
    window="$(xdotool search --onlyvisible --name 'Wendrel' 2>/dev/null | head -1)" && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "FAIL: no window"; tail -20 "$work/wendrel.log"; exit 1; }
  sleep 0.5 # the window placed, its first paint and the claim of the draft
}
stop_app() { kill -TERM "$app"; wait "$app" || true; app=""; }

start_app "$work/state"
eval "$(xdotool getwindowgeometry --shell "$window")"
if [ "$X,$Y,$WIDTH,$HEIGHT" = "0,0,240,320" ]; then
  echo "PASS: the window covers the whole 240 x 320 screen"
else
  fail "the window is ${WIDTH} x ${HEIGHT} at $X,$Y on a 240 x 320 screen without a window manager"
fi
title="$(xdotool getwindowname "$window")"
[ "$title" = Wendrel ] || fail "the window is titled '$title'"
stop_app

touch "$work/a-file"
start_app "$work/a-file" # no draft folder can be made under a file: said at the claim
title=""
for _ in $(seq 30); do
  title="$(xdotool getwindowname "$window")"
  [ "$title" != Wendrel ] && break
  sleep 0.1
done
if [ "$title" = "Text not kept on disk — Wendrel" ]; then
  echo "PASS: a draft that cannot be kept shows in the title"
else
  fail "with no draft folder the title is '$title'"
fi
[ "$(grep -c 'the text is not kept on disk' "$work/wendrel.log")" -eq 1 ] || fail "standard error: $(cat "$work/wendrel.log")"
stop_app

[ "$failures" -eq 0 ]
