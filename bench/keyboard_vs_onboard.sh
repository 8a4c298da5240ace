#!/usr/bin/env bash
# Keyboard mode's panel against Onboard, side by side in one run: one Xvfb of 800 x 600 with
# openbox and a GTK text field that has the focus (tests/e2e/text_receiver.py), inside a D-Bus
# session of its own. Each keyboard is started RUNS times by keyboard_bench, which measures its
# first complete frame, then taps one letter key 20 times (timed to the KeyPress in the text
# field) and reads its peak resident memory. Prints the medians and the three ratios.
# Usage: bench/keyboard_vs_onboard.sh [BUILD_FOLDER] (default build-bench; built here when missing)
# Environment: RUNS (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-bench}"
runs="${RUNS:-5}"
if [ -z "${KEYBOARD_BENCH_INSIDE:-}" ]; then
  if [ ! -x "$build/bin/keyboard_bench" ] || [ ! -x "$build/bin/wendrel" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DWENDREL_TESTS=OFF -DWENDREL_BENCH=ON >/dev/null
    cmake --build "$build" -j"$(nproc)" --target keyboard_bench wendrel wendrel-panel-points >/dev/null 2>&1 ||
      cmake --build "$build" -j"$(nproc)" --target keyboard_bench wendrel >/dev/null
  fi
  command -v onboard >/dev/null || { echo "onboard is not installed (apt-get install onboard)" >&2; exit 1; }
  KEYBOARD_BENCH_INSIDE=1 exec dbus-run-session -- "$0" "$@" 2> >(grep -v "fd limit" >&2)
fi

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=""
for number in $(shuf -i 100-900 -n 20); do
  [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] && continue
  Xvfb ":$number" -screen 0 800x600x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.05; done
  display=":$number"
  break
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
export DISPLAY="$display" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
/usr/bin/python3 tests/e2e/text_receiver.py "$work/field" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/field" ] && break; sleep 0.05; done
sleep 1

# The tap point: the "e" key. Wendrel's by the panel's geometry (the whole screen's width, the
# layout centred in it); Onboard's in its default layout (700 x 205 window, "e" in the second row).
wendrel_point() {
  # Layout point (60, 193.5) is the centre of "e" (x 48..72, y 180..207).
  awk 'BEGIN { w = 800; h = 600; s = 1;
               while (240 * (s + 0.25) <= w && 263 * (s + 0.25) <= h / 2) s += 0.25;
               left = int((w - int(240 * s + 0.5)) / 2); ph = int(263 * s + 0.5);
               printf "%.4f %.4f\n", (left + 60 * s) / w, ((193.5 - 57) * s) / ph }'
}
read -r wx wy < <(wendrel_point)
measure() { # name x y program...
  local name="$1" x="$2" y="$3"
  shift 3
  for _ in $(seq "$runs"); do
    : >"$work/field.keys"
    "$build/bin/keyboard_bench" "$x" "$y" "$work/field.keys" "$@" 2>/dev/null || echo "- - - - -"
  done >"$work/$name"
}
measure wendrel "$wx" "$wy" "$build/bin/wendrel" --keyboard
measure onboard 0.254 0.312 onboard

median() { awk '$1 != "-"' | sort -n | awk '{a[NR]=$1} END {if (NR) print a[int((NR+1)/2)]; else print "nan"}'; }
report() { # name
  local file="$work/$1"
  frame=$(awk '{print $1}' "$file" | median)
  memory=$(awk '{print $2}' "$file" | median)
  tap=$(awk '{print $3}' "$file" | median)
  press=$(awk '{print $5}' "$file" | median)
  arrived=$(awk '{print $4}' "$file" | median)
  printf '%-8s first frame %7s ms   peak memory %7s kB   tap to character %6s ms after the release (%s ms after the press; %s of 20 arrived)\n' \
    "$1" "$frame" "$memory" "$tap" "$press" "$arrived"
  eval "${1}_frame=$frame ${1}_memory=$memory ${1}_tap=$tap ${1}_press=$press"
}
echo "median of $runs starts each, Xvfb 800x600 with openbox"
report wendrel
report onboard
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "nan" }'; }
echo "ratios (Wendrel / Onboard): first frame $(ratio "$wendrel_frame" "$onboard_frame") (goal <= 0.5)," \
     "memory $(ratio "$wendrel_memory" "$onboard_memory") (goal <= 0.6)," \
     "tap to character $(ratio "$wendrel_tap" "$onboard_tap") after the release," \
     "$(ratio "$wendrel_press" "$onboard_press") from the press (goal <= 1)"
