#!/usr/bin/env bash
# Builds and runs the benchmarks: the engines, the window, and the start-up of wendrel against
# a bare Qt window (median of 21 starts each, with the peak resident memory); the keys drawn by
# one widget against the toolkit's floor on X11 and on the device check's framebuffer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# presage (libpresage-dev) only for the comparison of keystroke savings; never a dependency of the
# program or of its tests.
command -v apt-get >/dev/null && ! dpkg -s libpresage-dev libpresage-data >/dev/null 2>&1 &&
  $([ "$(id -u)" = 0 ] || echo sudo) apt-get install -y libpresage-dev libpresage-data >/dev/null
# hunspell and its American dictionary likewise, only as the spelling checker that the correction
# of typing errors is measured against.
command -v apt-get >/dev/null && ! dpkg -s libhunspell-dev hunspell-en-us >/dev/null 2>&1 &&
  $([ "$(id -u)" = 0 ] || echo sudo) apt-get install -y libhunspell-dev hunspell-en-us >/dev/null
# wvkbd and squeekboard likewise, only as the Wayland keyboards that keyboard mode is measured against.
command -v apt-get >/dev/null && ! dpkg -s wvkbd squeekboard >/dev/null 2>&1 &&
  $([ "$(id -u)" = 0 ] || echo sudo) apt-get install -y wvkbd squeekboard >/dev/null
# The key sounds' benchmark: a PulseAudio server of its own with a null sink, ALSA's plugin for
# it, and Qt Multimedia for the old player it is compared with; none of them a dependency of the
# program or of its tests.
command -v apt-get >/dev/null && ! dpkg -s pulseaudio pulseaudio-utils libasound2-plugins qt6-multimedia-dev >/dev/null 2>&1 &&
  $([ "$(id -u)" = 0 ] || echo sudo) apt-get install -y --no-install-recommends pulseaudio pulseaudio-utils \
    libasound2-plugins qt6-multimedia-dev >/dev/null
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DWENDREL_TESTS=OFF -DWENDREL_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target bench_engines bench_typing bench_window bench_draft startup_probe completion_timing \
  completion_savings tap_probe x11_first_frame bare_gui_window bare_widget_window wendrel correction_bench \
  swipe_bench wendrel-tap wendrel-sound sound_latency_probe wendrel-sound-qtmultimedia
export QT_QPA_PLATFORM=offscreen
build-bench/bin/bench_engines
build-bench/bin/bench_typing
build-bench/bin/bench_window
build-bench/bin/bench_draft

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for kind in floor view wendrel; do
  runs=$(for _ in $(seq 21); do build-bench/bin/startup_probe "$kind" 2>/dev/null; done)
  echo "start-up $kind: $(echo "$runs" | awk '{print $1}' | median) ms to first paint," \
       "peak $(echo "$runs" | awk '{print $2}' | median) kB, $(echo "$runs" | awk '{print $3}' | median) ms of processor time"
done

# The keys drawn by one widget against the floor: first frame, tap to pixels and peak memory on
# X11, and the first frame on the device check's framebuffer (a qemu guest, some minutes).
bench/keys_vs_floor.sh build-bench/bin
bench/keys_instructions.sh build-bench/bin
# The key sounds: memory and tap to sound, the program's player beside the Qt Multimedia one.
bench/sound_bench.sh build-bench/bin
if command -v qemu-system-x86_64 >/dev/null; then
  bench/device_startup.sh build-bench/device-startup build-bench/bin
  # Editing on the same device: press to popup, the pace of a held BackSpace (about a minute).
  bench/device_editing.sh build-bench/device-startup build-bench/bin
else
  echo "first frame on the framebuffer: skipped (no qemu-system-x86_64)"
fi

# The whole program as main() runs it: a start with no draft on disk (it must not be slower
# than the window alone) and a start that restores the draft of a 1 MB text before its first paint.
state="$(mktemp -d)"
runs=$(for _ in $(seq 21); do XDG_STATE_HOME="$state" build-bench/bin/startup_probe program 2>/dev/null; done)
echo "start-up of the program, no draft: $(echo "$runs" | awk '{print $1}' | median) ms to first paint"
mkdir -p "$state/wendrel"
{ printf '\xff\xfe'; head -c 1048576 /dev/zero | tr '\0' 'x' | fold -w 62 | sed 's/$/\r/' | iconv -t UTF-16LE; } \
  >"$state/wendrel/draft.txt"
runs=$(for _ in $(seq 21); do XDG_STATE_HOME="$state" build-bench/bin/startup_probe program 2>/dev/null; done)
echo "start-up of the program, restoring a 1 MB draft: $(echo "$runs" | awk '{print $1}' | median) ms to first paint"
rm -rf "$state"

# Word completion: start-up with the option off and on (the first paint, and the peak memory
# once completion has loaded after it; "with the model": the language model opened and asked
# after the first paint, its mapped pages, file-backed and shared, also counted apart), the
# time per tap, and the keystroke savings on public-domain texts against presage's stock
# English model (installed here only to compare).
config=build-bench/bin/config.dat
saved_config="$(cat "$config" 2>/dev/null || true)"
completion_home="$(mktemp -d)"
for setting in "11 0" "111 0" "111 1"; do
  set -- $setting
  printf '%s' "$1" > "$config"
  runs=$(for _ in $(seq 21); do
    XDG_DATA_HOME="$completion_home" WENDREL_PROBE_MODEL=$2 build-bench/bin/startup_probe wendrel 500 2>/dev/null
  done)
  echo "start-up wendrel, config.dat $1 (completion $([ "$1" = 111 ] && echo on || echo off)$([ "$2" = 1 ] && echo ", with the model")):" \
       "$(echo "$runs" | awk '{print $1}' | median) ms to first paint, peak $(echo "$runs" | awk '{print $2}' | median) kB" \
       "(file-backed $(echo "$runs" | awk '{print $4}' | median) kB)"
done
if [ -n "$saved_config" ]; then printf '%s' "$saved_config" > "$config"; else rm -f "$config"; fi
rm -rf "$completion_home"
build-bench/bin/completion_timing bench/texts/pride-and-prejudice.txt
build-bench/bin/completion_savings bench/texts/pride-and-prejudice.txt bench/texts/persuasion.txt \
  bench/texts/mansfield-park.txt

# Correction of typing errors: simulated taps at three spreads, with slips, and every key through the
# typing session, against hunspell.
build-bench/bin/correction_bench bench/texts/pride-and-prejudice.txt bench/texts/persuasion.txt bench/texts/mansfield-park.txt
build-bench/bin/correction_bench --spread 0.25 --slips 0.01 bench/texts/pride-and-prejudice.txt bench/texts/persuasion.txt \
  bench/texts/mansfield-park.txt
build-bench/bin/correction_bench --session bench/texts/pride-and-prejudice.txt bench/texts/persuasion.txt \
  bench/texts/mansfield-park.txt

# Swipe typing: each word drawn in one stroke, its letters scattered by a quarter of a key and at
# the keys' centres; the wrong first guesses counted by kind. Then as in use, where each word is
# learned once in the text (names and spellings the model lacks or ranks low).
build-bench/bin/swipe_bench --errors bench/texts/pride-and-prejudice.txt bench/texts/persuasion.txt \
  bench/texts/mansfield-park.txt | grep -v '^  .* (after '
build-bench/bin/swipe_bench --learn bench/texts/pride-and-prejudice.txt bench/texts/persuasion.txt bench/texts/mansfield-park.txt
# The same on present-day English prose (the GNOME Help and The Debian Administrator's Handbook),
# reported apart from the novels.
build-bench/bin/swipe_bench --errors bench/texts/gnome-help.txt bench/texts/debian-handbook.txt | grep -v '^  .* (after '
build-bench/bin/swipe_bench --learn bench/texts/gnome-help.txt bench/texts/debian-handbook.txt

# Start-up with a Start Menu of 10 000 files (500 shortcuts) in 8 levels of folders.
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
for top in $(seq 0 9); do
  folder="$home/wendrel/Start Menu"
  for level in $(seq 0 7); do
    folder="$folder/level$level-$top"
    mkdir -p "$folder"
    (cd "$folder" && for i in $(seq 0 124); do
      if [ $((i % 20)) -eq 0 ]; then : > "f$i.lnk"; else : > "f$i.txt"; fi
    done)
  done
done
runs=$(for _ in $(seq 21); do XDG_DATA_HOME="$home" build-bench/bin/startup_probe wendrel 2>/dev/null; done)
echo "start-up wendrel, large Start Menu: $(echo "$runs" | awk '{print $1}' | median) ms to first paint," \
     "peak $(echo "$runs" | awk '{print $2}' | median) kB"

# Keyboard mode on Wayland beside wvkbd and squeekboard, in a headless sway: tap to character in
# foot, peak memory, the panel shown after a text field gets the focus.
/usr/bin/python3 bench/wayland_keyboards.py build-bench/bin/wendrel build-bench/bin/wendrel-tap
