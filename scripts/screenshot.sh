#!/usr/bin/env bash
# Takes a screenshot of the main window on a virtual display, with the demo library that `make run`
# shows. Needs a build (make build) and the packages xvfb and imagemagick.
#
#   scripts/screenshot.sh [OUTPUT.png]        (default: build/screenshots/main-window.png)
#
# BUILD_DIR picks another build folder; SCREEN_SIZE the virtual screen (default 1600x900x24).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
output="${1:-$build/screenshots/main-window.png}"
screen="${SCREEN_SIZE:-1600x900x24}"
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-screenshot-XXXXXX")"
mkdir -p "$(dirname "$output")"

xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

. "$root/scripts/virtual-display.sh"
start_virtual_display "$screen" "$work/xvfb.log"

# A fresh demo profile, so the picture does not depend on what an earlier run changed.
eval "$("$build/tools/demo-profile/lyrafold-demo-profile" --profile "$work/profile" --books "$build/demo/books")"
mkdir -p "$work/tmp" "$work/runtime"
chmod 700 "$work/runtime"
DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/runtime" \
    "$build/src/app/lyrafold" >"$work/app.log" 2>&1 &
app_pid=$!

# The window has settled once the launch log says so; give it a moment more to paint.
for _ in $(seq 100); do
    grep -q "9 delayed orderFront done" "$work/tmp/Lyrafold_launch.log" 2>/dev/null && break
    sleep 0.1
done
sleep 1
DISPLAY=":$display" import -window root "$output"
echo "$output"
