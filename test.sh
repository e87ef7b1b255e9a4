#!/usr/bin/env bash
# Builds the game, its unit tests, benchmarks and real-window tests with warnings as
# errors under g++ and clang++, and runs every test; then the same for Quillfane.exe.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
ensure_packages cmake make g++ clang libsdl2-dev libgtest-dev libgmock-dev libbenchmark-dev \
  xvfb xdotool openbox python3 python3-xlib x11-utils librsvg2-bin dpkg-dev file lintian \
  desktop-file-utils appstream

jobs=$(nproc)
common=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLFANE_WERROR=ON -DQUILLFANE_TESTS=ON)

echo "== clang++: build and unit tests"
cmake -S . -B build-clang -DCMAKE_CXX_COMPILER=clang++ "${common[@]}" -DQUILLFANE_E2E=OFF >/dev/null
cmake --build build-clang -j"$jobs"
ctest --test-dir build-clang -j"$jobs" --output-on-failure

echo "== g++: build, unit tests and real-window tests"
cmake -S . -B build -DCMAKE_CXX_COMPILER=g++ "${common[@]}" -DQUILLFANE_E2E=ON -DQUILLFANE_BENCH=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure
bash scripts/check-package.sh build

echo "== Windows: Quillfane.exe cross-built, read back, tested under Wine"
scripts/check-windows.sh
