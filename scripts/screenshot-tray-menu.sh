#!/usr/bin/env bash
# Takes docs/tray-menu.png: the tray item with its menu and the Settings submenu open, in a
# private headless session. Run as: scripts/headless-session.sh scripts/screenshot-tray-menu.sh [binary]
set -euo pipefail
cd "$(dirname "$0")/.."
binary=${1:-build-test/src/app/vantorel}
xsetroot -solid '#3b4252'
"$binary" >/dev/null 2>&1 &
pid=$!
sleep 2
xdotool mousemove 1908 16 click 3   # the tray icon sits at the top right of the first monitor
sleep 0.8
xdotool mousemove 1700 96           # over "Settings"
sleep 1.2
import -window root -crop 720x300+1200+0 +repage docs/tray-menu.png
kill -TERM "$pid"
wait "$pid"
