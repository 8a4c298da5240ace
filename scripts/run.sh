#!/usr/bin/env bash
# Installs what is missing, builds Wendrel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWENDREL_TESTS=OFF
cmake --build build -j"$(nproc)"
exec build/bin/wendrel
