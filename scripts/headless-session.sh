#!/usr/bin/env bash
# Runs a command inside a private headless desktop: Xvfb with two RandR monitors, openbox,
# a tray host (trayer), a session bus, a second bus standing in for the system bus, and a
# PulseAudio server with a null sink. Everything started here is stopped on exit, and the
# command's exit code is passed through.
#
#   scripts/headless-session.sh <command...>
#
# HEADLESS_SIZE (default 3840x1080) and HEADLESS_MONITORS (2 or 1) shape the screen.
set -euo pipefail

WORK=$(mktemp -d /tmp/vantorel-session.XXXXXX)
chmod 700 "$WORK"
PIDS=()
PULSE_STARTED=

cleanup() {
    local rc=$?
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null || true; done
    if [ -n "$PULSE_STARTED" ]; then pulseaudio --kill 2>/dev/null || true; fi
    sleep 0.3
    rm -rf "$WORK"
    exit $rc
}
trap cleanup EXIT INT TERM

wait_for() {  # wait_for <tries of 50 ms> <command...>
    local tries=$1; shift
    for _ in $(seq "$tries"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
    echo "headless-session: timed out waiting for: $*" >&2
    return 1
}

export XDG_RUNTIME_DIR="$WORK/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" HOME="$WORK/home"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$HOME"
export QT_QPA_PLATFORM=xcb
export VANTOREL_SESSION_DIR="$WORK"

# -noreset keeps the RandR monitors when the last client disconnects.
Xvfb -displayfd 9 -noreset -screen 0 "${HEADLESS_SIZE:-3840x1080}x24" -nolisten tcp \
    9>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
PIDS+=($!)
wait_for 200 test -s "$WORK/display"
export DISPLAY=":$(head -n1 "$WORK/display")"

if [ "${HEADLESS_MONITORS:-2}" = 2 ]; then
    xrandr --setmonitor MON-A 1920/508x1080/286+0+0 screen >/dev/null
    xrandr --setmonitor MON-B 1920/508x1080/286+1920+0 none >/dev/null
fi

read -r DBUS_SESSION_BUS_ADDRESS SESSION_BUS_PID < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -sd' ')
export DBUS_SESSION_BUS_ADDRESS
PIDS+=("$SESSION_BUS_PID")
read -r DBUS_SYSTEM_BUS_ADDRESS SYSTEM_BUS_PID < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -sd' ')
export DBUS_SYSTEM_BUS_ADDRESS
PIDS+=("$SYSTEM_BUS_PID")

openbox >"$WORK/openbox.log" 2>&1 &
PIDS+=($!)
wait_for 200 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
    --tint 0x404040 --transparent false >"$WORK/trayer.log" 2>&1 &
PIDS+=($!)

pulseaudio --daemonize=yes --exit-idle-time=-1 --system=false -n \
    -L 'module-null-sink sink_name=vsink' -L module-native-protocol-unix \
    --log-target=file:"$WORK/pulse.log" >/dev/null 2>&1
PULSE_STARTED=1
wait_for 200 pactl info

wait_for 200 sh -c 'xprop -root | grep -q _NET_SYSTEM_TRAY_S0 || xwininfo -root -tree | grep -qi trayer'

set +e
"$@"
rc=$?
set -e
exit $rc
