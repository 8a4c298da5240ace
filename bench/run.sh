#!/usr/bin/env bash
# Builds and runs the benchmarks: the engines, the window, and the start-up of wendrel against
# a bare Qt window (median of 21 starts each, with the peak resident memory).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DWENDREL_TESTS=OFF -DWENDREL_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target bench_engines bench_window startup_probe
export QT_QPA_PLATFORM=offscreen
build-bench/bin/bench_engines
build-bench/bin/bench_window

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for kind in floor wendrel; do
  runs=$(for _ in $(seq 21); do build-bench/bin/startup_probe "$kind" 2>/dev/null; done)
  echo "start-up $kind: $(echo "$runs" | awk '{print $1}' | median) ms to first paint," \
       "peak $(echo "$runs" | awk '{print $2}' | median) kB"
done

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
