#!/usr/bin/env bash
# Takes the pictures in docs/ of a real run of Vantorel on the first monitor of a headless
# session: the selection overlay without and with a compositing manager, the countdown, and the
# outline with the stop pill during a recording.
#
#   scripts/headless-session.sh scripts/screenshots.sh [build-dir]
#
# The program runs with a home, a configuration and a session bus of its own, so nothing of the
# caller's is touched; every process started here is stopped by its PID on the way out.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-test}
binary="$build/src/app/vantorel"
[ -x "$binary" ] || { echo "screenshots: no program at $binary; build it first" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "screenshots: run inside scripts/headless-session.sh" >&2; exit 1; }

work=$(mktemp -d /tmp/vantorel-shots.XXXXXX)
pids=()
cleanup() {
    local rc=$?
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
    exit $rc
}
trap cleanup EXIT INT TERM

wait_for() {  # wait_for <tries of 100 ms> <command...>
    local tries=$1; shift
    for _ in $(seq "$tries"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "screenshots: timed out waiting for: $*" >&2
    return 1
}

# The region to record, on the first monitor, and the part of that monitor each picture shows:
# the control bar above the region, the size label below it and the stop pill at the top.
region_x=560 region_y=260 region_w=800 region_h=450
crop=1200x800+360+0

# A bus without activatable services: the notification daemon installed on the machine is not
# started for the "Saved" message, which then comes as the program's own alert.
cat >"$work/bus.conf" <<'EOF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=1 >"$work/bus.address" &
pids+=($!)
wait_for 100 test -s "$work/bus.address"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus.address")

export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Vantorel"
cat >"$XDG_CONFIG_HOME/Vantorel/preferences.json" <<'EOF'
{ "countdownSeconds": 3, "recordSystemSound": false, "showsCursor": false }
EOF

# A desktop to look at: a coloured background and an ordinary window under the region. A
# compositing manager paints the root from a background pixmap, which hsetroot (Debian package
# hsetroot) leaves; xsetroot's plain colour shows only without one.
if command -v hsetroot >/dev/null; then
    hsetroot -solid '#4a6d8c' >/dev/null
else
    xsetroot -solid '#4a6d8c'
fi
xmessage -geometry 460x170+730+420 -title "Notes" \
    "Quarterly report draft, section 2: the numbers below are the ones to show." >/dev/null 2>&1 &
pids+=($!)

"$binary" >"$work/vantorel.log" 2>&1 &
app=$!
pids+=($app)
wait_for 150 sh -c "xdotool search --onlyvisible --pid $app | grep -q ."

app_windows() {  # the program's visible windows as "x y w h" lines
    for w in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
        xwininfo -id "$w" 2>/dev/null | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
            /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
    done
}
overlay_shown() { [ "$(app_windows | awk '$3==1920 && $4==1080' | wc -l)" -ge 2 ]; }
overlay_gone() { ! overlay_shown; }
pill_shown() { app_windows | awk '$2<40 && $4<60 && $3<200 && $1<1800 {found=1} END{exit !found}'; }

start_selection() {
    xdotool mousemove 1908 16 click 3   # the tray icon sits at the top right of the first monitor
    sleep 0.8
    xdotool key Down Return             # "Start Recording"
    wait_for 150 overlay_shown
    xdotool mousemove $region_x $region_y mousedown 1 \
        mousemove $((region_x + region_w / 2)) $((region_y + region_h / 2)) \
        mousemove $((region_x + region_w)) $((region_y + region_h)) mouseup 1
    # Leave the pointer where it hides nothing.
    xdotool mousemove 1500 900
    sleep 0.8
}

shot() {  # shot <file>
    import -window root -crop "$crop" +repage "$1"
    echo "screenshots: wrote $1"
}

mkdir -p docs

# 1. The overlay without a compositor: a dimmed snapshot of the screen stands in for the tint.
start_selection
shot docs/overlay.png
xdotool key Escape
wait_for 100 overlay_gone

# 2. The same with a compositing manager: the real desktop shows through the tint.
picom --backend xrender >"$work/picom.log" 2>&1 &
picom=$!
pids+=($picom)
sleep 1.5   # picom takes the compositing selection and redirects the windows
start_selection
shot docs/overlay-composited.png
xdotool key Escape
wait_for 100 overlay_gone
kill "$picom"
wait "$picom" 2>/dev/null || true
sleep 1

# 3. The countdown: the first number shows 0.2 s after Return, for one second.
start_selection
xdotool key Return
sleep 0.4
shot docs/countdown.png

# 4. Recording: the outline just outside the region and the stop pill at the top of the screen.
wait_for 150 pill_shown
sleep 1
shot docs/recording.png
pill=$(app_windows | awk '$2<40 && $4<60 && $3<200 && $1<1800 {print $1 + int($3 / 2), $2 + int($4 / 2); exit}')
xdotool mousemove ${pill% *} ${pill#* } click 1    # the stop pill ends the recording
