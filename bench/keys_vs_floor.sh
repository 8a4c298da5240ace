#!/usr/bin/env bash
# The keys drawn by one widget against the toolkit's floor (a text edit and 66 push buttons), on
# X11 (Xvfb, a 240 x 320 screen as a device has): the first complete frame seen from outside
# the program, the peak resident memory 300 ms after it, and tap to pixels. "view" is a window
# of the text edit and one KeyboardView (startup_probe view), "wendrel" the program itself.
# Usage: keys_vs_floor.sh <folder of the built programs> [rounds, 21 unless given]
set -euo pipefail
bin="$(cd "$1" && pwd)"
rounds="${2:-21}"
work="$(mktemp -d)"
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own; Xvfb writes the number it took once it accepts connections.
Xvfb -displayfd 3 -screen 0 240x320x24 -br -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "keys_vs_floor: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

first_frame() { # kind -> "<ms> <peak kB>"
  case "$1" in
    floor) "$bin/x11_first_frame" floor 300 "$bin/startup_probe" floor stay ;;
    view) "$bin/x11_first_frame" keys 300 "$bin/startup_probe" view stay ;;
    wendrel) "$bin/x11_first_frame" keys 300 "$bin/wendrel" ;;
  esac
}

kinds="floor view wendrel"
# The first round warms the caches (and makes wendrel's Start Menu folder); the kinds take turns.
for round in $(seq 0 "$rounds"); do
  for kind in $kinds; do
    line="$(first_frame "$kind" 2>/dev/null | tail -1)"
    [ "$round" -gt 0 ] && echo "$line" >> "$work/start-$kind"
  done
done
for kind in $kinds; do
  awk '{print $1}' "$work/start-$kind" | median > "$work/ms-$kind"
  awk '{print $2}' "$work/start-$kind" | median > "$work/kb-$kind"
  tap_probe_line="$("$bin/tap_probe" "$kind" 100 2>/dev/null | tail -1)"
  echo "$tap_probe_line" > "$work/tap-$kind"
done

floor_ms="$(cat "$work/ms-floor")" floor_kb="$(cat "$work/kb-floor")"
read -r floor_tap _ < "$work/tap-floor"
echo "Keys against the floor on X11 (Xvfb 240 x 320), medians of $rounds starts and of 100 taps:"
printf '  %-8s %9s %7s %11s %9s %9s %7s %10s\n' "" "1st frame" "ratio" "peak kB" "+kB" "tap µs" "ratio" "tap cpu µs"
for kind in $kinds; do
  ms="$(cat "$work/ms-$kind")" kb="$(cat "$work/kb-$kind")"
  read -r tap _ tap_cpu _ < "$work/tap-$kind"
  printf '  %-8s %9s %7s %11s %9s %9s %7s %10s\n' "$kind" "$ms" "$(ratio "$ms" "$floor_ms")" "$kb" \
    "$((kb - floor_kb))" "$tap" "$(ratio "$tap" "$floor_tap")" "$tap_cpu"
done
echo "  goals: first frame ratio <= 0.85, tap ratio <= 0.85, peak <= floor + 3072 kB"
