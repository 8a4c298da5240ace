#!/usr/bin/env bash
# The keys against the toolkit's floor counted in instructions (valgrind's callgrind), which a
# busy machine does not disturb: the start to the first frame (startup_probe ... quit) and one tap
# to pixels (tap_probe, its timed taps alone), on Qt's offscreen platform. The toolkit's two lower
# bounds (bare_gui_window, bare_widget_window: the same picture from Qt Gui alone and from one Qt
# Widgets widget) are counted to their first frame too.
# Usage: keys_instructions.sh <folder of the built programs>
set -euo pipefail
bin="$(cd "$1" && pwd)"
command -v valgrind >/dev/null || { echo "instructions: skipped (no valgrind)"; exit 0; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

collected() { grep -o 'Collected : [0-9]*' | awk '{print $3}' | sort -n | tail -1; }
taps=20
"$bin/startup_probe" wendrel quit >/dev/null 2>&1 || true  # the Start Menu folder made once
echo "Keys against the floor in instructions (callgrind, offscreen; millions):"
printf '  %-8s %12s %6s %12s %6s\n' "" "first frame" "ratio" "per tap" "ratio"
for kind in floor gui-only 1-widget view wendrel; do
  case "$kind" in
    gui-only | 1-widget)
      program="$bin/bare_gui_window"
      [ "$kind" = 1-widget ] && program="$bin/bare_widget_window"
      start=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$program" quit 2>&1 | collected)
      awk -v kind="$kind" -v s="$start" -v fs="$floor_start" \
        'BEGIN {printf "  %-8s %12.1f %6.2f %12s %6s\n", kind, s / 1e6, s / fs, "-", "-"}'
      continue ;;
  esac
  start=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$bin/startup_probe" "$kind" quit 2>&1 | collected)
  tap=$(valgrind --tool=callgrind --toggle-collect='*timedTap*' --callgrind-out-file=/dev/null \
    "$bin/tap_probe" "$kind" "$taps" 2>&1 | collected)
  [ "$kind" = floor ] && floor_start=$start floor_tap=$tap
  awk -v kind="$kind" -v s="$start" -v fs="$floor_start" -v t="$tap" -v ft="$floor_tap" -v n="$taps" \
    'BEGIN {printf "  %-8s %12.1f %6.2f %12.3f %6.2f\n", kind, s / 1e6, s / fs, t / n / 1e6, t / ft}'
done
