#!/usr/bin/env bash
# Installs what is missing, builds Wendrel and runs every test: the normal build, the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, and a short fuzzing run of
# every file reader and of the formula evaluator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

echo "== Build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWENDREL_TESTS=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" | tee build/ctest.log

# The system checks (a real display server, a virtual device, the package) run once, above.
echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DWENDREL_TESTS=ON -DWENDREL_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -LE system | tee build-sanitize/ctest.log

echo "== Fuzzing every file the program reads and the formula evaluator"
# Each tests/fuzz/<name>_fuzzer.cpp runs for WENDREL_FUZZ_SECONDS (20 by default) from its seed
# inputs in tests/fuzz/corpus/<name>/; a crash or a failed check stops the script.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DWENDREL_TESTS=OFF -DWENDREL_FUZZ=ON
cmake --build build-fuzz -j"$jobs" --target fuzzers
for source in tests/fuzz/*_fuzzer.cpp; do
  name="$(basename "$source" _fuzzer.cpp)"
  corpus="$(mktemp -d)" # the corpus in the tree stays as it is; what the run finds is thrown away
  cp tests/fuzz/corpus/"$name"/* "$corpus"/
  echo "-- ${name}"
  build-fuzz/bin/"${name}_fuzzer" -max_total_time="${WENDREL_FUZZ_SECONDS:-20}" -timeout=5 \
    -artifact_prefix=build-fuzz/"${name}"- "$corpus" 2>&1 |
    { grep -vE '^(#[0-9]+|INFO: |"|###### |\s+NEW_FUNC)' || true; } # progress and statistics out; a crash or a report still shows
  rm -rf "$corpus"
done

# One closing line for all of it (each step above has stopped the script on a failure). CTest
# counts a skipped test among those out of which none failed; here it is counted apart.
total() { grep -oE 'tests failed out of [0-9]+' "$1" | grep -oE '[0-9]+$'; }
skipped() { grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$1" || true; }
skips=$(($(skipped build/ctest.log) + $(skipped build-sanitize/ctest.log)))
echo "wendrel: $(($(total build/ctest.log) + $(total build-sanitize/ctest.log) - skips + 1)) passed, 0 failed, $skips skipped"
