#!/usr/bin/env bash
# Takes a screenshot of the main window on a virtual display, with the demo library that `make run`
# shows. Needs a build (make build) and the packages xvfb, imagemagick and xdotool.
#
#   scripts/screenshot.sh [--scene SCENE] [OUTPUT.png]   (default: build/screenshots/<scene>.png)
#
# Scenes: main-window (as started), search (the results of a search), preview (the hover page preview
# of the first row), edit-dialog (the metadata dialog of the first row, from a copy of the demo
# library in Slot 1, since the Default slot is read-only). The scenes click at the places the window's
# layout gives them on the default screen.
#
# BUILD_DIR picks another build folder; SCREEN_SIZE the virtual screen (default 1600x900x24);
# SEARCH_TEXT what the search scene types (default "blue").
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
scene="main-window"
if [ "${1:-}" = "--scene" ]; then
    scene="${2:?--scene needs a name}"
    shift 2
fi
case "$scene" in
main-window | search | preview | edit-dialog) ;;
*)
    echo "unknown scene: $scene" >&2
    exit 2
    ;;
esac
output="${1:-$build/screenshots/$scene.png}"
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
if [ "$scene" = "edit-dialog" ]; then
    slots="$XDG_DATA_HOME/Lyrafold/slots"
    cp "$slots/slot_0.json" "$slots/slot_1.json"
    printf '{"activeSlot":1,"slotNames":{}}' >"$slots/slots_meta.json"
fi
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

# Places in the window as laid out on the default screen (the window is centred, 1380 by 640).
x() { DISPLAY=":$display" xdotool "$@"; }
search_field="412 446"
first_row="330 521"
case "$scene" in
search)
    x mousemove $search_field click 1
    x type --delay 60 "${SEARCH_TEXT:-blue}"
    sleep 1
    ;;
preview)
    x mousemove $first_row
    x mousemove_relative 4 1
    sleep 0.3
    x mousemove_relative 4 0
    sleep 1.5
    ;;
edit-dialog)
    # Select the first row with Ctrl held (a plain click would open the song), then Tools > Edit
    # Metadata for Selected Row.
    x mousemove $first_row keydown ctrl click 1 keyup ctrl
    sleep 0.3
    x mousemove 225 138 click 1
    sleep 0.5
    x mousemove 300 162 click 1
    sleep 1
    ;;
esac
DISPLAY=":$display" import -window root "$output"
echo "$output"
