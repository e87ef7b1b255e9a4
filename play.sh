#!/usr/bin/env bash
# Builds the game and starts it; arguments go to the game (./play.sh --help).
# build/ is this script's own folder, configured from an empty cache each time (the objects
# stay), so nothing set by another configure lingers: the game alone, no tests (./test.sh
# builds and runs those in build-sanitize/ and build-test/).
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
ensure_packages cmake make g++ libsdl2-dev

rm -f build/CMakeCache.txt
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLFANE_TESTS=OFF -DQUILLFANE_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target quillfane
exec ./build/quillfane "$@"
