#!/usr/bin/env bash
# Builds with warnings as errors and runs the tests: with clang++ under AddressSanitizer and
# UBSan (unit tests and one real-window game); with g++ as a macOS or BSD build would be, on
# SDL alone (unit tests); with g++ as the hardened release (every test, the binary checked for
# its hardening, the Debian package made and checked); then cross-builds Quillfane.exe and
# tests it under Wine, and builds and plays the web page.
# Its folders (build-sanitize/, build-portable/, build-test/, build-windows/, build-web/) are its
# own; ctest in a Linux folder rebuilds it before testing.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure-packages.sh
ensure_packages cmake make g++ clang libclang-rt-14-dev llvm binutils libsdl2-dev libgtest-dev \
  libgmock-dev libbenchmark-dev libx11-dev xvfb xauth xdotool openbox python3 python3-xlib x11-utils \
  librsvg2-bin dpkg-dev file lintian desktop-file-utils appstream sway wtype grim x11-xserver-utils flake8

jobs=$(nproc)
common=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLFANE_WERROR=ON -DQUILLFANE_TESTS=ON -DQUILLFANE_E2E=ON)

# Any report ends the program with a failure; the real-window harness hands these on to
# the game. A full unwind on each allocation names the frames inside system libraries,
# which the one suppressed leak needs (see tests/lsan.supp).
export ASAN_OPTIONS=halt_on_error=1:print_stacktrace=1:fast_unwind_on_malloc=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp

# FOLDER ARGS...: configured from an empty cache, so no setting is left over from another
# configure (a changed compiler once made CMake drop the other -D values), and checked.
configure() {
  rm -f "$1/CMakeCache.txt"
  cmake -S . -B "$@" >/dev/null
  grep -qx QUILLFANE_WERROR:BOOL=ON "$1/CMakeCache.txt" || { echo "test.sh: $1 lost QUILLFANE_WERROR" >&2; exit 1; }
}

echo "== flake8: the harness, the benchmarks and the scripts"
flake8 --max-line-length=120 e2e bench scripts

echo "== clang++ with AddressSanitizer and UBSan: unit tests and one real-window game"
configure build-sanitize -DCMAKE_CXX_COMPILER=clang++ "${common[@]}" -DQUILLFANE_SANITIZE=ON \
  -DQUILLFANE_BENCH=OFF -DQUILLFANE_E2E_TESTS=flight
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize -j"$jobs" --output-on-failure

echo "== g++, portable: no X11, hardening or Debian package, as on macOS or a BSD; unit tests under the dummy driver"
configure build-portable -DCMAKE_CXX_COMPILER=g++ "${common[@]}" -DQUILLFANE_X11=OFF -DQUILLFANE_HARDEN=OFF \
  -DQUILLFANE_DEB=OFF -DQUILLFANE_E2E=OFF -DQUILLFANE_BENCH=OFF
cmake --build build-portable -j"$jobs"
# Neither Xlib, nor a hardening flag, nor the Debian package (`! grep` would not stop set -e).
if grep -E 'libX11|relro|stack-protector' build-portable/platform/sdl/CMakeFiles/quillfane.dir/link.txt \
  build-portable/CMakeFiles/quillfane_game.dir/flags.make || [ -f build-portable/CPackConfig.cmake ]; then
  echo "test.sh: build-portable still has X11, hardening or the Debian package" >&2
  exit 1
fi
ctest --test-dir build-portable -j"$jobs" --output-on-failure

echo "== g++, hardened: build, hardening check, unit tests and real-window tests"
configure build-test -DCMAKE_CXX_COMPILER=g++ "${common[@]}" -DQUILLFANE_HARDEN=ON -DQUILLFANE_BENCH=ON
cmake --build build-test -j"$jobs"
CXX=g++ scripts/check-hardening.sh build-test/quillfane
ctest --test-dir build-test -j"$jobs" --output-on-failure
bash scripts/check-package.sh build-test

echo "== Windows: Quillfane.exe cross-built, read back, tested under Wine"
scripts/check-windows.sh
scripts/check-web.sh
