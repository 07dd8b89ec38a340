#!/usr/bin/env bash
# Installs what is missing, builds Vantorel and starts it on the current desktop.
#
#   scripts/run.sh               build in build-release/ and start the program
#   scripts/run.sh --build-only  build, do not start (what CI checks)
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=
[ "${1:-}" = "--build-only" ] && build_only=1

if [ -z "$build_only" ] && [ -z "${DISPLAY:-}" ]; then
    echo "Vantorel needs an X11 desktop session (DISPLAY is not set). Run this from a terminal inside your desktop." >&2
    exit 1
fi
scripts/install-deps.sh
# The same configuration as the package of the README's Install section, so one build serves both.
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOREL_BUILD_TESTS=OFF >/dev/null
cmake --build build-release --target vantorel
[ -n "$build_only" ] && exit 0
exec build-release/src/app/vantorel
