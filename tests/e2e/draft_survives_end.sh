#!/usr/bin/env bash
# What the user typed comes back at the next start however the program ended: killed
# (SIGKILL) after the draft was written, SIGTERM right after typing, SIGHUP, the X server
# gone; Exit ends with an empty next start and the text on the clipboard and in last-exit.txt.
# The real program runs on Xvfb and is driven with pointer clicks on its keys; the text is
# read back as a user would, with Fn + Copy and the clipboard.
#   draft_survives_end.sh WENDREL KEY-CENTRES
set -euo pipefail
wendrel="$1"
centres="$("$2")"
for tool in Xvfb xdotool xclip xdpyinfo; do
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
export QT_QPA_PLATFORM=xcb XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"

start_x() { # on a display number that no other server uses
  local number
  for _ in $(seq 50); do
    number=$((400 + RANDOM % 500))
    [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] || break
  done
  export DISPLAY=":$number"
  # -noreset: a client that leaves (a killed wendrel) must not reset the server under the next one.
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do kill -0 "$xvfb" 2>/dev/null && xdpyinfo >/dev/null 2>&1 && return; sleep 0.05; done
  echo "FAIL: Xvfb did not start"; exit 1
}
stop_x() { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true; xvfb=""; }

# Starts wendrel with its drafts in state folder $1 and waits for its window.
origin_x=0 origin_y=0 width=240
start_app() {
  # A background job of a script starts with SIGINT ignored; a user's program does not.
  XDG_STATE_HOME="$1" env --default-signal=INT "$wendrel" >>"$work/wendrel.log" 2>&1 &
  app=$!
  local window=""
  for _ in $(seq 100); do
    window="$(xdotool search --onlyvisible --name '^Wendrel$' 2>/dev/null | head -1)" && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "FAIL: no window"; tail -20 "$work/wendrel.log"; exit 1; }
  eval "$(xdotool getwindowgeometry --shell "$window")"
  origin_x=$X origin_y=$Y width=$WIDTH # the layout is drawn at the window's scale
  sleep 0.5 # the first paint and the claim of the draft
}
# Waits for the program to end; its exit status in $status.
status=0
wait_app() {
  status=0
  timeout 10 tail --pid="$app" -f /dev/null || { echo "FAIL: still running"; exit 1; }
  wait "$app" || status=$?
  app=""
}

tap() { # role [typed character as a number]
  local line
  line="$(echo "$centres" | awk -v r="$1" -v c="${2:-0}" -v ox="$origin_x" -v oy="$origin_y" -v w="$width" \
    '$1 == r && $2 == c {s = w / 240; printf "%d %d", ox + $3 * s, oy + $4 * s; exit}')"
  [ -n "$line" ] || { echo "FAIL: no key $1 $2"; exit 1; }
  xdotool mousemove --sync $line click 1
  sleep 0.05
}
type_text() { # small letters and spaces; "|" is Enter
  local i ch
  for ((i = 0; i < ${#1}; i++)); do
    ch="${1:i:1}"
    case "$ch" in
      " ") tap character 32 ;;
      "|") tap character 10 ;;
      *) tap letter "$(printf '%d' "'$ch")" ;;
    esac
  done
}
# The text as Fn + Copy puts it on the clipboard (a marker when Copy leaves it untouched).
shown_text() {
  # xclip serves the marker from the background: keep it off this function's output.
  printf 'untouched' | xclip -selection clipboard -in >/dev/null 2>&1
  sleep 0.2
  tap fn
  tap save
  sleep 0.3
  timeout 5 xclip -o -selection clipboard 2>/dev/null || true
}

failures=0
expect() { # what, got, expected
  if [ "$2" == "$3" ]; then
    echo "PASS: $1"
  else
    echo "FAIL: $1: got '$2', expected '$3'"
    failures=$((failures + 1))
  fi
}
typed="hello world|abc"
expected=$'Hello world\nAbc' # the typing assistant's capitals

start_x

state="$work/killed"
start_app "$state"
type_text "$typed"
sleep 2
kill -9 "$app"; wait_app
start_app "$state"
expect "SIGKILL after the draft was written: the next start shows the text" "$(shown_text)" "$expected"
kill -9 "$app"; wait_app

for signal in TERM HUP INT; do
  state="$work/sig$signal"
  start_app "$state"
  type_text "$typed"
  sleep 0.3
  kill -"$signal" "$app"; wait_app
  expect "SIG$signal: exit status" "$status" 0
  expect "SIG$signal: the text is on the clipboard" "$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)" "$expected"
  start_app "$state"
  expect "SIG$signal: the next start shows the text" "$(shown_text)" "$expected"
  kill -9 "$app"; wait_app
done

state="$work/xgone"
start_app "$state"
type_text "$typed"
sleep 3
stop_x
wait_app
start_x
start_app "$state"
expect "X server gone: the next start on a new X server shows the text" "$(shown_text)" "$expected"
kill -9 "$app"; wait_app

# Characters the keys cannot type, from a draft left by an earlier run: Copy and Exit hand
# over exactly these characters, line breaks as line feeds.
state="$work/exit"
mkdir -p "$state/wendrel"
printf '\xff\xfeA\x00\xa0\x00B\x00\x28\x20C\x00\r\x00\n\x00D\x00' >"$state/wendrel/draft.txt"
exact=$'A\u00a0B\u2028C\nD'
start_app "$state"
expect "a restored draft: non-breaking space and line separator survive Copy" "$(shown_text)" "$exact"
tap exit
sleep 0.5
xdotool key Return # answers "The text is copied to clipboard."
wait_app
expect "Exit: exit status" "$status" 0
expect "Exit: the clipboard holds the exact text" "$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)" "$exact"
expect "Exit: last-exit.txt holds the text" "$(od -An -tx1 "$state/wendrel/last-exit.txt" | tr -d ' \n')" \
  "fffe4100a0004200282043000d000a004400"
expect "Exit: no draft is left" "$(ls "$state/wendrel" | grep -c '^draft' || true)" 0
start_app "$state"
expect "Exit: the next start is empty" "$(shown_text)" "untouched"
kill -9 "$app"; wait_app

[ "$failures" -eq 0 ]
