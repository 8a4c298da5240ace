#!/usr/bin/env bash
# The key sounds: the program's own player (libwendrel-sound.so, ALSA) side by side with the Qt
# Multimedia player it replaced (libwendrel-sound-qtmultimedia.so, built with the benchmarks when
# Qt Multimedia is installed), on a PulseAudio server of the script's own whose only sink is a
# null sink (48,000 frames a second, mono); ALSA's "default" reaches it through the PulseAudio
# plugin (libasound2-plugins), Qt Multimedia through libpulse.
#  - Peak resident memory on X11 (Xvfb 240 x 320), 1.5 s after the first complete frame with
#    three taps on "e" meanwhile, against the floor of the performance benchmark (a text edit
#    and 66 push buttons): "wendrel" with its default key sound (the player reaches the server
#    through libpulse-simple), "wendrel-alsa" the same through ALSA's "default" and its
#    PulseAudio plugin (WENDREL_SOUND_DEVICE=default, as where no server socket is found),
#    "qt-multimedia" the program with the old player in place of the module, "silent" without a
#    key sound, "no-device" with no sound server and an ALSA whose only card is missing (as in a
#    container; the lines it says on standard error are counted).
#  - Tap to the start of the sound (sound_latency_probe): the module loaded and its sound
#    preloaded, then taps on a timer, the null sink's monitor recorded; the players take turns,
#    each round 20 taps.
# Usage: sound_bench.sh <folder of the built programs> [rounds, 7 unless given]
set -euo pipefail
bin="$(cd "$1" && pwd)"
rounds="${2:-7}"
for tool in pulseaudio parec pactl Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "sound_bench: $tool is missing (pulseaudio pulseaudio-utils xvfb xdotool)" >&2; exit 1; }
done
[ -e "$(dpkg -L libasound2-plugins 2>/dev/null | grep -m1 'libasound_module_pcm_pulse\.so$')" ] ||
  { echo "sound_bench: ALSA's PulseAudio plugin is missing (libasound2-plugins)" >&2; exit 1; }
old_module="$bin/libwendrel-sound-qtmultimedia.so"
players="wendrel wendrel-alsa"
[ -f "$old_module" ] && players="$players qt-multimedia" ||
  echo "sound_bench: $old_module was not built (no Qt Multimedia): the new player alone" >&2

work="$(mktemp -d)"
pulse="" xvfb=""
config="$bin/config.dat"
saved_config=""
[ -f "$config" ] && saved_config="$(cat "$config")"
restore_config() {
  if [ -n "$saved_config" ]; then printf '%s' "$saved_config" > "$config"; else rm -f "$config"; fi
}
cleanup() {
  restore_config
  [ -n "$pulse" ] && kill "$pulse" 2>/dev/null && wait "$pulse" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# The sound server: nothing but its socket and the null sink (no hardware, no autospawn).
HOME="$work" pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  -L "module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" \
  -L "module-null-sink sink_name=bench rate=48000 channels=1" >"$work/pulse.log" 2>&1 &
pulse=$!
export PULSE_SERVER="unix:$work/pulse.sock"
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { cat "$work/pulse.log" >&2; echo "sound_bench: PulseAudio did not start" >&2; exit 1; }

# The old player: a copy of the program whose folder holds the Qt Multimedia module under the
# module's name (the program looks beside itself first); everything else is the build's.
old="$work/old"
mkdir -p "$old"
cp "$bin/wendrel" "$old/"
for file in "$bin"/*; do
  case "$(basename "$file")" in
    wendrel | libwendrel-sound.so | config.dat) ;;
    *) ln -s "$file" "$old/$(basename "$file")" ;;
  esac
done
[ -f "$old_module" ] && ln -s "$old_module" "$old/libwendrel-sound.so"

# ALSA as in a container: its default device is the first card, and there is none.
mkdir -p "$work/empty" && chmod 700 "$work/empty"
printf 'pcm.!default { type hw card 0 device 0 }\nctl.!default { type hw card 0 }\n' > "$work/no-card.conf"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
p90() { sort -n | awk '{a[NR]=$1} END {i=int(NR*0.9+0.5); if (i<1) i=1; print a[i]}'; }

# Tap to sound, the players taking turns.
for round in $(seq "$rounds"); do
  for player in $players; do
    module="$bin/libwendrel-sound.so" device=""
    [ "$player" = qt-multimedia ] && module="$old_module"
    [ "$player" = wendrel-alsa ] && device=default
    status=0
    WENDREL_SOUND_DEVICE="$device" SOUND_PROBE_VERBOSE=1 "$bin/sound_latency_probe" "$module" "$bin/sound1.wav" bench.monitor 20 \
      2>>"$work/taps-$player" >>"$work/summary-$player" || status=$?
    [ "$status" -eq 0 ] || echo "$status" >> "$work/failed-$player"
  done
done

# Peak memory with taps, the kinds taking turns (the first round warms the caches).
Xvfb -displayfd 3 -screen 0 240x320x24 -br -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "sound_bench: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
kinds="floor $players silent no-device"
for round in $(seq 0 "$rounds"); do
  for kind in $kinds; do
    restore_config
    rm -f "$config" # the default settings: key sound 1
    # No draft from the run before: the taps' text would grow over the text area's check point.
    rm -rf "$XDG_STATE_HOME"
    case "$kind" in
      floor) run=("$bin/x11_first_frame" floor 1500 "$bin/startup_probe" floor stay) ;;
      wendrel) run=("$bin/x11_first_frame" keys 1500 "$bin/wendrel") ;;
      wendrel-alsa) run=(env WENDREL_SOUND_DEVICE=default "$bin/x11_first_frame" keys 1500 "$bin/wendrel") ;;
      qt-multimedia) run=("$bin/x11_first_frame" keys 1500 "$old/wendrel") ;;
      silent) printf '01' > "$config"; run=("$bin/x11_first_frame" keys 1500 "$bin/wendrel") ;;
      no-device) run=(env -u PULSE_SERVER XDG_RUNTIME_DIR="$work/empty" ALSA_CONFIG_PATH="$work/no-card.conf"
                      "$bin/x11_first_frame" keys 1500 "$bin/wendrel") ;;
    esac
    line="$(X11_FIRST_FRAME_TAPS=3 "${run[@]}" 2>"$work/stderr" | tail -1)" || line=""
    if [ -z "$line" ]; then
      echo "sound_bench: $kind: $(tail -1 "$work/stderr")" >&2
    elif [ "$round" -gt 0 ]; then
      echo "$line" | awk '{print $2}' >> "$work/kb-$kind"
      grep -c 'key sounds stay silent' "$work/stderr" >> "$work/said-$kind" || true
    fi
  done
done
restore_config

floor_kb="$(median < "$work/kb-floor")"
echo "Key sounds: peak resident memory on X11 (Xvfb 240 x 320), median of $rounds starts, 1.5 s after the"
echo "first frame with 3 taps on \"e\"; PulseAudio with a null sink as the sound device:"
printf '  %-14s %9s %8s  %s\n' "" "peak kB" "+kB" "standard error"
for kind in $kinds; do
  kb="$(median < "$work/kb-$kind")"
  said=""
  [ "$kind" = no-device ] && said="$(sort -u "$work/said-$kind" | tr '\n' ' ')line(s) in each start"
  printf '  %-14s %9s %8s  %s\n' "$kind" "$kb" "$((kb - floor_kb))" "$said"
done
echo "  goal: wendrel <= floor + 3072 kB"
echo "Tap to the start of the sound, $rounds rounds of 20 taps each, the players taking turns"
echo "(ms until the null sink's monitor had the sound; a tap whose sound had not started by the next is missed):"
printf '  %-14s %8s %8s %8s %8s\n' "" "median" "90th" "heard" "taps"
for player in $players; do
  grep -o 'in the recording [0-9.-]* ms' "$work/taps-$player" | awk '{print $4}' > "$work/ms-$player" || true
  heard="$(wc -l < "$work/ms-$player")"
  taps="$(grep -c '^tap ' "$work/taps-$player" || true)"
  failed=""
  [ -s "$work/failed-$player" ] && failed="$(wc -l < "$work/failed-$player") run(s) failed (status $(sort -u "$work/failed-$player" | tr '\n' ' '))"
  printf '  %-14s %8s %8s %8s %8s  %s\n' "$player" "$(median < "$work/ms-$player")" "$(p90 < "$work/ms-$player")" "$heard" "$taps" "$failed"
done
echo "  goal: wendrel's median <= qt-multimedia's and < 30 ms"
