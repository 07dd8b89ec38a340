#!/usr/bin/env bash
# Installs what is missing, builds Vantorel with its tests and runs every test headlessly: the
# X11 suite in a private X desktop session (X server, window manager, tray host, buses, sound
# server), then the Wayland suite in a private Wayland desktop (sway, PipeWire, the portal).
#
#   scripts/test.sh              the normal build, in build-test/
#   scripts/test.sh --sanitize   with AddressSanitizer and UndefinedBehaviorSanitizer, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --tests
# Once per machine: the Wayland desktop's packages and its patched portal back end (cached).
scripts/wayland-session.sh --setup

# Line tables only (-g1): enough for readable sanitizer reports, and much quicker to build.
# Warnings are errors here; the benchmarks are built (not run) so that they keep compiling.
build=build-test
options=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g1" -DVANTOREL_WERROR=ON -DVANTOREL_BUILD_BENCH=ON)
if [ "${1:-}" = "--sanitize" ]; then
    build=build-asan
    options=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g1 -O1" -DVANTOREL_SANITIZE=ON -DVANTOREL_WERROR=ON)
    export ASAN_OPTIONS=detect_leaks=1
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build" -G Ninja "${options[@]}" >/dev/null
cmake --build "$build"
scripts/headless-session.sh ctest --test-dir "$build" --output-on-failure --timeout 300 -LE wayland
WAYLAND_SESSION_QUIET=1 scripts/wayland-session.sh \
    ctest --test-dir "$build" --output-on-failure --timeout 300 -L wayland
