#!/usr/bin/env bash
# The keys drawn by one widget against the toolkit's floor (a text edit and 66 push buttons), on
# X11 (Xvfb, a 240 x 320 screen as a device has): the first complete frame seen from outside
# the program, the peak resident memory 300 ms after it, and tap to pixels. "view" is a window
# of the text edit and one KeyboardView (startup_probe view), "wendrel" the program itself with
# its default settings (key sound 1, whose player module loads just after the first frame) and
# "silent" the program with no key sound (config.dat "01" for the time of its runs). Two lower
# bounds of the toolkit, first frame only, paint the same picture with no text editing:
# "gui-only" from Qt Gui alone (bare_gui_window, the Widgets library never loaded) and "1-widget"
# from the leanest Qt Widgets window (bare_widget_window, one widget), which no window made of
# Qt Widgets can beat.
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

# The settings of the program in the build tree are beside it; "silent" runs without a key sound.
config="$bin/config.dat"
saved_config=""
[ -f "$config" ] && saved_config="$(cat "$config")"
settings_for() {
  if [ "$1" = silent ]; then
    printf '01' > "$config"
  elif [ -n "$saved_config" ]; then
    printf '%s' "$saved_config" > "$config"
  else
    rm -f "$config"
  fi
}
trap 'settings_for wendrel; cleanup' EXIT

first_frame() { # kind -> "<ms> <peak kB>"
  case "$1" in
    floor) "$bin/x11_first_frame" floor 300 "$bin/startup_probe" floor stay ;;
    gui-only) "$bin/x11_first_frame" keys 300 "$bin/bare_gui_window" ;;
    1-widget) "$bin/x11_first_frame" keys 300 "$bin/bare_widget_window" ;;
    view) "$bin/x11_first_frame" keys 300 "$bin/startup_probe" view stay ;;
    wendrel | silent) "$bin/x11_first_frame" keys 300 "$bin/wendrel" ;;
  esac
}
tap() { # kind -> "<median µs> <90th percentile µs> <processor µs> <peak kB>"
  case "$1" in
    silent) "$bin/tap_probe" wendrel 100 ;;
    *) "$bin/tap_probe" "$1" 100 ;;
  esac
}

kinds="floor gui-only 1-widget view wendrel silent"
# The first round warms the caches (and makes wendrel's Start Menu folder); the kinds take turns.
for round in $(seq 0 "$rounds"); do
  for kind in $kinds; do
    settings_for "$kind"
    line="$(first_frame "$kind" 2>/dev/null | tail -1)"
    [ "$round" -gt 0 ] && echo "$line" >> "$work/start-$kind"
  done
done
fastest() { sort -n | head -1; }
for kind in $kinds; do
  awk '{print $1}' "$work/start-$kind" | median > "$work/ms-$kind"
  awk '{print $1}' "$work/start-$kind" | fastest > "$work/fast-$kind"
  awk '{print $2}' "$work/start-$kind" | median > "$work/kb-$kind"
  awk '{print $3}' "$work/start-$kind" | median > "$work/cpu-$kind"
  settings_for "$kind"
  case "$kind" in
    gui-only | 1-widget) echo "- - - -" > "$work/tap-$kind" ;;
    *) tap "$kind" 2>/dev/null | tail -1 > "$work/tap-$kind" ;;
  esac
done

floor_ms="$(cat "$work/ms-floor")" floor_fast="$(cat "$work/fast-floor")" floor_kb="$(cat "$work/kb-floor")"
floor_cpu="$(cat "$work/cpu-floor")"
read -r floor_tap _ < "$work/tap-floor"
echo "Keys against the floor on X11 (Xvfb 240 x 320), medians of $rounds starts (and the fastest) and of 100 taps:"
echo "(ms from exec to the complete frame; cpu: the program's processor ms until then)"
printf '  %-8s %9s %6s %8s %6s %7s %6s %9s %7s %8s %6s %10s\n' "" "1st frame" "ratio" "fastest" "ratio" "cpu" "ratio" \
  "peak kB" "+kB" "tap µs" "ratio" "tap cpu µs"
for kind in $kinds; do
  ms="$(cat "$work/ms-$kind")" fast="$(cat "$work/fast-$kind")" kb="$(cat "$work/kb-$kind")" cpu="$(cat "$work/cpu-$kind")"
  read -r tap _ tap_cpu _ < "$work/tap-$kind"
  printf '  %-8s %9s %6s %8s %6s %7s %6s %9s %7s %8s %6s %10s\n' "$kind" "$ms" "$(ratio "$ms" "$floor_ms")" "$fast" \
    "$(ratio "$fast" "$floor_fast")" "$cpu" "$(ratio "$cpu" "$floor_cpu")" "$kb" "$((kb - floor_kb))" "$tap" \
    "$([ "$tap" = - ] && echo - || ratio "$tap" "$floor_tap")" "$tap_cpu"
done
echo "  goals: first frame ratio <= 0.85, tap ratio <= 0.85, peak <= floor + 3072 kB"
