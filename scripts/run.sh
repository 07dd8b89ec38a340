#!/usr/bin/env bash
# Installs what is missing, builds Vantorel and starts it on the current X11 desktop.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ]; then
    echo "Vantorel needs an X11 desktop session (DISPLAY is not set). Run this from a terminal inside your desktop." >&2
    exit 1
fi
scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_BUILD_TESTS=OFF >/dev/null
cmake --build build-release --target vantorel
exec build-release/src/app/vantorel
