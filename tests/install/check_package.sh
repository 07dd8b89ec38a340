#!/usr/bin/env bash
# Builds the .deb from a build directory, unpacks it into a scratch root and checks it:
# the files in their places, a valid desktop entry and metainfo, dependencies, and a packaged
# binary that starts on the session's X server and shows its tray item.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/vantorel_*.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/vantorel \
            ./usr/share/applications/org.vantorel.Vantorel.desktop \
            ./usr/share/metainfo/org.vantorel.Vantorel.metainfo.xml \
            ./usr/share/icons/hicolor/scalable/apps/org.vantorel.Vantorel.svg \
            ./usr/share/icons/hicolor/48x48/apps/org.vantorel.Vantorel.png \
            ./usr/share/icons/hicolor/256x256/apps/org.vantorel.Vantorel.png; do
    grep -q " $path\$" <<<"$contents" || fail "missing $path"
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for needed in libqt6widgets6 libqt6dbus6 libavcodec libpulse0 libxcb-shm0 qt6-qpa-plugins; do
    grep -q "$needed" <<<"$depends" || fail "no dependency on $needed"
done

root="$scratch/root"
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.vantorel.Vantorel.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.vantorel.Vantorel.metainfo.xml" >/dev/null ||
    fail "metainfo"
grep -q '^Exec=vantorel$' "$root/usr/share/applications/org.vantorel.Vantorel.desktop" || fail "Exec line"

[ -n "${DISPLAY:-}" ] || fail "no X server: run inside scripts/headless-session.sh"
XDG_CONFIG_HOME="$scratch/config" "$root/usr/bin/vantorel" >"$scratch/run.log" 2>&1 &
pid=$!
for _ in $(seq 150); do
    windows=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true)
    [ -n "$windows" ] && break
    sleep 0.1
done
[ -n "$windows" ] || { cat "$scratch/run.log"; fail "the packaged program showed no tray item"; }
[ "$(wc -l <<<"$windows")" -eq 1 ] || fail "more than the tray item is shown"
kill -TERM "$pid"
wait "$pid" || fail "the program did not end cleanly on SIGTERM"
pid=
echo "packaged program started and showed its tray item"
