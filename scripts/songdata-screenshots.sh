#!/usr/bin/env bash
# Photographs the song metadata scenes of the main window on a virtual display, over the demo library
# (copied into Slot 1 without its metadata): the column choice of Import Song Data, the auto-tag sheet
# in the middle of a run, and the table after a run. The web services are played by a loopback server
# inside the tool. Needs a build (make build) and the packages xvfb and imagemagick; with openbox
# installed the windows get the frames and title bars of a window manager, as on a desktop.
#
#   scripts/songdata-screenshots.sh [OUTPUT_DIR]        (default: build/screenshots/songdata)
#
# BUILD_DIR picks another build folder, SCREEN_SIZE the virtual screen (default 1600x900x24).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
output="${1:-$build/screenshots/songdata}"
screen="${SCREEN_SIZE:-1600x900x24}"
tool="$build/tools/songdata-shot/lyrafold-songdata-shot"
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-songdata-shots-XXXXXX")"
mkdir -p "$output"

. "$root/scripts/virtual-display.sh"
start_screenshot_display "$screen" "$work"

# shot NAME [tool options...]: one picture of the whole screen once the tool says the scene is drawn,
# each on a fresh demo profile.
shot() {
    local name="$1"
    shift
    local log="$work/$name.log"
    local profile="$work/profile-$name"
    mkdir -p "$profile/tmp" "$profile/runtime"
    chmod 700 "$profile/runtime"
    (
        eval "$("$build/tools/demo-profile/lyrafold-demo-profile" --profile "$profile" --books "$build/demo/books")"
        # No buses: the window's desktop requests fail and are logged, as on a build machine.
        DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$profile/tmp" XDG_RUNTIME_DIR="$profile/runtime" \
            DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
            exec "$tool" "$@"
    ) >"$log" 2>&1 &
    photograph_when_ready "$log" $! "$output/$name.png"
}

shot column-dialog --scene column-dialog
shot sheet --scene sheet
shot after-run --scene after-run
# The smallest window, and the languages whose texts run longest.
shot sheet-minimum-size --scene sheet --size 1200x480
shot column-dialog-turkish --scene column-dialog --language tr
shot after-run-spanish --scene after-run --language es --size 1200x480
