#!/usr/bin/env bash
# Runs a command inside a private headless Wayland desktop, as scripts/headless-session.sh does
# for X11: sway (headless backend, pixman renderer) with Xwayland, a private session bus,
# PipeWire with WirePlumber and its PulseAudio server (a null sink "vsink" as the default
# output), and the desktop portal with the wlroots back end, so that the ScreenCast portal hands
# out PipeWire streams without a GPU, as root. Everything is stopped on exit and the command's
# exit code is passed through.
#
#   scripts/wayland-session.sh --setup        install the packages and build, once, the portal
#                                             back end (see below) and the input helper
#   scripts/wayland-session.sh <command...>   start the desktop (~0.5 s), run the command in it
#
# The command sees WAYLAND_DISPLAY, DISPLAY (Xwayland), SWAYSOCK, DBUS_SESSION_BUS_ADDRESS,
# XDG_RUNTIME_DIR, PIPEWIRE_RUNTIME_DIR, XDG_SESSION_TYPE=wayland, private XDG_* folders,
# WAYLAND_SESSION_DIR (the session's folder, with every log), WAYLAND_SESSION_PORTAL_LOG (the
# portal back end's log) and PATH with `wayland-input` (a virtual pointer: move, click, drag)
# and wtype (keys) first.
#
# Why a patched back end: xdg-desktop-portal-wlr 0.7.0 (Debian 12) refuses to start a cast unless
# the compositor also offers a DMA-BUF format, which sway's pixman renderer has none of; later
# versions dropped the condition. The patch drops it here too.
#
# Settings (environment): WAYLAND_SESSION_SIZE (1920x1080 per output), WAYLAND_SESSION_OUTPUTS
# (1), WAYLAND_SESSION_CAST_OUTPUT (HEADLESS-1, the output the portal shares without a dialog),
# WAYLAND_SESSION_PORTAL (another back end binary), WAYLAND_SESSION_KEEP=1 (keep the logs),
# WAYLAND_SESSION_TIMEOUT (20 s per component), WAYLAND_SESSION_CACHE (where --setup builds).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
WAYLAND_SESSION_CACHE=${WAYLAND_SESSION_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vantorel-wayland}
BIN=$WAYLAND_SESSION_CACHE/bin

RUNTIME_PKGS="sway swaybg xwayland pipewire pipewire-bin pipewire-pulse pulseaudio-utils wireplumber
 xdg-desktop-portal xdg-desktop-portal-wlr dbus dbus-bin libglib2.0-bin grim wtype"
BUILD_PKGS="dpkg-dev patch xz-utils meson ninja-build pkg-config gcc libc6-dev libdrm-dev
 libinih-dev libgbm-dev libpipewire-0.3-dev libwayland-dev libwayland-bin wayland-protocols
 libsystemd-dev libxkbcommon-dev"

die() { echo "wayland-session: $*" >&2; exit 125; }
# Already set up: the packages are there and both programs are built.
set_up() {
    [ -x "$BIN/xdg-desktop-portal-wlr" ] && [ -x "$BIN/wayland-input" ] || return 1
    local p
    for p in $RUNTIME_PKGS; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || return 1
    done
}
now() { date +%s.%N; }

# xdg-desktop-portal-wlr 0.7.0 (Debian 12) refuses to start a cast unless the
# compositor also offers a DMA-BUF format; sway with the pixman renderer has none.
xdpw_patch() {
cat <<'EOF'
--- a/src/screencast/screencast.c
+++ b/src/screencast/screencast.c
@@ -196,9 +196,8 @@
 	wl_display_dispatch(cast->ctx->state->wl_display);
 	wl_display_roundtrip(cast->ctx->state->wl_display);
 
-	if (cast->screencopy_frame_info[WL_SHM].format == DRM_FORMAT_INVALID ||
-			(cast->ctx->state->screencast_version >= 3 &&
-			 cast->screencopy_frame_info[DMABUF].format == DRM_FORMAT_INVALID)) {
+	/* headless/pixman compositors offer no DMA-BUF: a SHM format is enough */
+	if (cast->screencopy_frame_info[WL_SHM].format == DRM_FORMAT_INVALID) {
 		logprint(INFO, "wlroots: unable to receive a valid format from wlr_screencopy");
 		return -1;
 	}
EOF
}

setup() {
    # packages through sudo when not root, as scripts/install-deps.sh does; the build is the user's
    local sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
    local p missing=()
    for p in $RUNTIME_PKGS $BUILD_PKGS; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        $sudo apt-get update -qq
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
    local src=$WAYLAND_SESSION_CACHE/src
    rm -rf "$src"; mkdir -p "$src/lists/partial" "$src/sources.list.d" "$BIN"
    # deb-src twins of the machine's own Debian sources, in a private source list and
    # lists folder: the machine's apt configuration stays as it was
    local f
    { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true; } \
        | sed -n 's/^deb /deb-src /p' > "$src/sources.list"
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] && sed 's/^Types: *deb *$/Types: deb-src/' "$f" > "$src/sources.list.d/$(basename "$f")"
    done
    local opt=(-o "Dir::Etc::SourceList=$src/sources.list" -o "Dir::Etc::SourceParts=$src/sources.list.d"
               -o "Dir::State::Lists=$src/lists")
    apt-get "${opt[@]}" update -qq || true   # a third-party source without deb-src is not fatal
    (cd "$src" && apt-get "${opt[@]}" source -qq xdg-desktop-portal-wlr >/dev/null 2>&1 &&
                  apt-get "${opt[@]}" source -qq --download-only wlroots >/dev/null 2>&1) \
        || die "apt-get source failed"

    # 1. xdg-desktop-portal-wlr with the DMA-BUF requirement dropped
    local dir; dir=$(find "$src" -maxdepth 1 -type d -name 'xdg-desktop-portal-wlr-*' | head -1)
    [ -n "$dir" ] || die "no xdg-desktop-portal-wlr source"
    xdpw_patch | patch -s -d "$dir" -p1 || die "patch does not apply to $(basename "$dir")"
    meson setup "$dir/build" "$dir" -Dsystemd=disabled -Dman-pages=disabled --buildtype=release >/dev/null
    ninja -C "$dir/build" >/dev/null
    install -m 755 "$dir/build/xdg-desktop-portal-wlr" "$BIN/xdg-desktop-portal-wlr"

    # 2. wayland-input: virtual pointer/keyboard client (protocol XML from the wlroots source)
    local w=$src/wayland-input; mkdir -p "$w"
    tar -xJf "$src"/wlroots_*.orig.tar.xz -C "$w" --strip-components=2 --wildcards \
        '*/protocol/wlr-virtual-pointer-unstable-v1.xml' '*/protocol/virtual-keyboard-unstable-v1.xml'
    cp /usr/share/wayland-protocols/unstable/xdg-output/xdg-output-unstable-v1.xml "$w/"
    local x
    for x in wlr-virtual-pointer-unstable-v1 virtual-keyboard-unstable-v1 xdg-output-unstable-v1; do
        wayland-scanner client-header "$w/$x.xml" "$w/$x-client-protocol.h"
        wayland-scanner private-code "$w/$x.xml" "$w/$x-protocol.c"
    done
    # shellcheck disable=SC2046
    cc -O2 -Wall -I"$w" -o "$BIN/wayland-input" "$HERE/../tests/wayland/wayland_input.c" "$w"/*-protocol.c \
        $(pkg-config --cflags --libs wayland-client xkbcommon)
    echo "wayland-session: built $BIN/xdg-desktop-portal-wlr and $BIN/wayland-input"
}

[ $# -ge 1 ] || { sed -n '2,/^set -euo/p' "$0" | sed '$d' >&2; exit 125; }
if [ "$1" = --setup ]; then set_up || setup; exit 0; fi

XDPW=${WAYLAND_SESSION_PORTAL:-$BIN/xdg-desktop-portal-wlr}
[ -x "$XDPW" ] || die "no patched xdg-desktop-portal-wlr at $XDPW: run '$0 --setup' first (or set WAYLAND_SESSION_PORTAL)"
for c in sway swaymsg dbus-daemon pipewire wireplumber pw-cli gdbus /usr/libexec/xdg-desktop-portal; do
    command -v "$c" >/dev/null || die "missing $c: run '$0 --setup'"
done

SIZE=${WAYLAND_SESSION_SIZE:-1920x1080}
OUTPUTS=${WAYLAND_SESSION_OUTPUTS:-1}
TIMEOUT=${WAYLAND_SESSION_TIMEOUT:-20}
T0=$(now)

WAYLAND_SESSION_DIR=$(mktemp -d "${TMPDIR:-/tmp}/wayland-session.XXXXXX")
RUN=$WAYLAND_SESSION_DIR/run
mkdir -m 700 "$RUN" "$WAYLAND_SESSION_DIR/config" "$WAYLAND_SESSION_DIR/data" "$WAYLAND_SESSION_DIR/cache" "$WAYLAND_SESSION_DIR/state"
PIDS=()

cleanup() {
    local rc=$?
    set +eu +o pipefail
    # our own children (newest first), then whatever else runs inside this session
    # (dbus-activated services, swaybg, Xwayland, leftovers of CMD): found by process
    # id through the session's private XDG_RUNTIME_DIR in their environment
    local all=() p i st
    for ((i=${#PIDS[@]}-1; i>=0; i--)); do all+=("${PIDS[i]}"); done
    for p in /proc/[0-9]*; do
        p=${p#/proc/}
        [ "$p" = $$ ] && continue
        grep -qszx "XDG_RUNTIME_DIR=$RUN" "/proc/$p/environ" && all+=("$p")
    done
    for p in "${all[@]}"; do kill "$p" 2>/dev/null; done
    for i in $(seq 40); do   # up to 2 s for them to go
        local alive=0
        for p in "${all[@]}"; do  # alive and not a zombie
            { read -r _ _ st _ < "/proc/$p/stat"; } 2>/dev/null && [ "$st" != Z ] && alive=1
        done
        [ $alive = 0 ] && break
        sleep 0.05
    done
    for p in "${all[@]}"; do kill -9 "$p" 2>/dev/null; done
    for p in "${PIDS[@]}"; do wait "$p" 2>/dev/null; done
    mountpoint -q "$RUN/doc" 2>/dev/null && fusermount3 -u "$RUN/doc"
    if [ "${WAYLAND_SESSION_KEEP:-0}" = 1 ]; then echo "wayland-session: kept $WAYLAND_SESSION_DIR" >&2; else rm -rf "$WAYLAND_SESSION_DIR"; fi
    exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

wait_for() {  # wait_for DESCRIPTION COMMAND...
    local what=$1; shift
    local end; end=$(( $(date +%s) + TIMEOUT ))
    until "$@" >/dev/null 2>&1; do
        [ "$(date +%s)" -lt "$end" ] || die "timed out waiting for $what (WAYLAND_SESSION_KEEP=1 keeps the logs)"
        sleep 0.05
    done
}

# Everything below shares one private runtime dir and one set of XDG dirs.
unset WAYLAND_DISPLAY DISPLAY WAYLAND_SOCKET SWAYSOCK I3SOCK DBUS_SESSION_BUS_ADDRESS
export XDG_RUNTIME_DIR=$RUN PIPEWIRE_RUNTIME_DIR=$RUN
export XDG_CONFIG_HOME=$WAYLAND_SESSION_DIR/config XDG_DATA_HOME=$WAYLAND_SESSION_DIR/data XDG_CACHE_HOME=$WAYLAND_SESSION_DIR/cache XDG_STATE_HOME=$WAYLAND_SESSION_DIR/state
export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=sway
export SWAYSOCK=$RUN/sway-ipc.sock

# ---- 1. sway: headless backend, pixman renderer, no input devices ----------------
W=${SIZE%x*}
{
    for ((i=1; i<=OUTPUTS; i++)); do
        echo "output HEADLESS-$i resolution $SIZE position $(( (i-1)*W )),0"
    done
    BG=${WAYLAND_SESSION_BACKGROUND-#3366cc}
    [ -z "$BG" ] || echo "output * bg $BG solid_color"
    echo "xwayland enable"
    echo "default_border none"
    echo "focus_follows_mouse no"
    # sway exports WAYLAND_DISPLAY and DISPLAY (Xwayland) to what it execs: write them down
    echo "exec sh $WAYLAND_SESSION_DIR/report-env.sh"
    printf '%s\n' "${WAYLAND_SESSION_SWAY_EXTRA:-}"
} > "$WAYLAND_SESSION_DIR/sway.conf"
cat > "$WAYLAND_SESSION_DIR/report-env.sh" <<REPORT
printf 'WAYLAND_DISPLAY=%s\nDISPLAY=%s\n' "\$WAYLAND_DISPLAY" "\$DISPLAY" > "$WAYLAND_SESSION_DIR/sway.env.tmp"
mv "$WAYLAND_SESSION_DIR/sway.env.tmp" "$WAYLAND_SESSION_DIR/sway.env"
REPORT

SWAY=(sway -c "$WAYLAND_SESSION_DIR/sway.conf")
# sway 1.7 refuses to run as root ("Unable to drop root ... refusing to start"): as
# root, run it as another uid in a user namespace where that uid is root outside.
# The uid needs a passwd entry (Xwayland only admits "localuser:<name>"): nobody.
SWAY_UID=${WAYLAND_SESSION_SWAY_UID:-65534}
[ "$(id -u)" = 0 ] && SWAY=(unshare --user --map-user="$SWAY_UID" --map-group="$SWAY_UID" "${SWAY[@]}")
env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_HEADLESS_OUTPUTS="$OUTPUTS" "${SWAY[@]}" > "$WAYLAND_SESSION_DIR/sway.log" 2>&1 &
PIDS+=($!)
wait_for "sway" test -s "$WAYLAND_SESSION_DIR/sway.env"
# shellcheck disable=SC1091
. "$WAYLAND_SESSION_DIR/sway.env"
export WAYLAND_DISPLAY DISPLAY
wait_for "sway IPC" swaymsg -t get_version

# the headless seat has no pointer/keyboard: hold virtual ones (wayland-input)
if [ -x "$BIN/wayland-input" ]; then
    "$BIN/wayland-input" > "$WAYLAND_SESSION_DIR/wayland-input.log" 2>&1 &
    PIDS+=($!)
    wait_for "wayland-input" grep -q ready "$WAYLAND_SESSION_DIR/wayland-input.log"
    export PATH=$BIN:$PATH
else
    echo "wayland-session: no $BIN/wayland-input: clients will get no pointer/keyboard events" >&2
fi
T_SWAY=$(now)

# ---- 2. private D-Bus session bus --------------------------------------------
# Service files in XDG_DATA_HOME take precedence over /usr/share: point the wlr backend
# at the patched binary and (by default) keep the FUSE document portal out.
mkdir -p "$XDG_DATA_HOME/dbus-1/services"
cat > "$WAYLAND_SESSION_DIR/xdpw.conf" <<EOF
[screencast]
chooser_type=none
output_name=${WAYLAND_SESSION_CAST_OUTPUT:-HEADLESS-1}
${WAYLAND_SESSION_MAX_FPS:+max_fps=$WAYLAND_SESSION_MAX_FPS}
EOF
XDPW_CMD="$XDPW -c $WAYLAND_SESSION_DIR/xdpw.conf -l ${WAYLAND_SESSION_PORTAL_LOGLEVEL:-INFO}"
printf '[D-BUS Service]\nName=org.freedesktop.impl.portal.desktop.wlr\nExec=%s\n' "$XDPW_CMD" \
    > "$XDG_DATA_HOME/dbus-1/services/org.freedesktop.impl.portal.desktop.wlr.service"
if [ "${WAYLAND_SESSION_DOCUMENT_PORTAL:-0}" != 1 ]; then
    printf '[D-BUS Service]\nName=org.freedesktop.portal.Documents\nExec=/bin/false\n' \
        > "$XDG_DATA_HOME/dbus-1/services/org.freedesktop.portal.Documents.service"
fi
export DBUS_SESSION_BUS_ADDRESS=unix:path=$RUN/bus
dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" \
    > "$WAYLAND_SESSION_DIR/dbus.log" 2>&1 &
PIDS+=($!)
wait_for "dbus-daemon" gdbus call --session --dest org.freedesktop.DBus \
    --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.GetId
T_DBUS=$(now)

# ---- 3. PipeWire + WirePlumber -----------------------------------------------
pipewire > "$WAYLAND_SESSION_DIR/pipewire.log" 2>&1 &
PIDS+=($!)
wait_for "pipewire" test -S "$RUN/pipewire-0"
wireplumber > "$WAYLAND_SESSION_DIR/wireplumber.log" 2>&1 &
PIDS+=($!)
# WirePlumber is up once it has published the "default" metadata object
wait_for "wireplumber" sh -c 'pw-cli ls Metadata 2>/dev/null | grep -q "metadata.name = \"default\""'
# The sound the program records comes through the PulseAudio API, here PipeWire's own server,
# from the monitor of a null sink that is the default output.
pipewire-pulse > "$WAYLAND_SESSION_DIR/pipewire-pulse.log" 2>&1 &
PIDS+=($!)
wait_for "pipewire-pulse" pactl info
pactl load-module module-null-sink sink_name=vsink >/dev/null
pactl set-default-sink vsink
T_PW=$(now)

# ---- 4. portal backend first, then the portal --------------------------------
# If the frontend activates the backend itself it can read AvailableSourceTypes
# before the backend exported it, and then advertises 0 source types for good.
export WAYLAND_SESSION_PORTAL_LOG=$WAYLAND_SESSION_DIR/xdpw.log
$XDPW_CMD > "$WAYLAND_SESSION_PORTAL_LOG" 2>&1 &
PIDS+=($!)
has_name() { gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" | grep -q true; }
wait_for "xdg-desktop-portal-wlr" has_name org.freedesktop.impl.portal.desktop.wlr
/usr/libexec/xdg-desktop-portal > "$WAYLAND_SESSION_DIR/xdg-desktop-portal.log" 2>&1 &
PIDS+=($!)
wait_for "xdg-desktop-portal" has_name org.freedesktop.portal.Desktop
SRC=$(gdbus call --session --dest org.freedesktop.portal.Desktop --object-path /org/freedesktop/portal/desktop \
    --method org.freedesktop.DBus.Properties.Get org.freedesktop.portal.ScreenCast AvailableSourceTypes 2>&1 || true)
case $SRC in *"uint32 0"*|*rror*) die "ScreenCast portal not usable: AvailableSourceTypes -> $SRC";; esac
T_PORTAL=$(now)

[ "${WAYLAND_SESSION_QUIET:-0}" = 1 ] || awk -v a="$T0" -v b="$T_SWAY" -v c="$T_DBUS" -v d="$T_PW" -v e="$T_PORTAL" \
    -v w="$WAYLAND_DISPLAY" -v x="$DISPLAY" -v dir="$WAYLAND_SESSION_DIR" 'BEGIN { printf "wayland-session: ready in %.2fs (sway %.2f, dbus %.2f, pipewire+wireplumber %.2f, portals %.2f) WAYLAND_DISPLAY=%s DISPLAY=%s dir=%s\n", e-a, b-a, c-b, d-c, e-d, w, x, dir }' >&2

export WAYLAND_SESSION_DIR
set +e
# in the background + wait, so that INT/TERM (e.g. a test timeout) tear down at once
"$@" <&0 &
CMD_PID=$!
wait "$CMD_PID"
exit $?
