#!/usr/bin/env bash
# Builds the game and starts it.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
ensure_packages cmake make g++ libsdl2-dev

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLFANE_TESTS=OFF -DQUILLFANE_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target quillfane
exec ./build/quillfane
