#!/usr/bin/env bash
# Photographs the shared export dialogs on a virtual display: the "Share Playlist" dialog, the export
# progress dialog (building and cancelling, and in Turkish and Spanish), the share-or-save popup in three
# languages and the question before an image folder is replaced (in Spanish too). Needs a build (make build) and the packages xvfb and
# imagemagick; with openbox installed the dialogs get the frames of a window manager, as on a desktop.
#
#   scripts/share-screenshots.sh [OUTPUT_DIR]        (default: build/screenshots/share)
#
# BUILD_DIR picks another build folder, TESTDATA_DIR another test data folder (the build scene exports
# one of its books), SCREEN_SIZE the virtual screen (default 1200x800x24).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
testdata="${TESTDATA_DIR:-$(cd "$(dirname "$0")/.." && pwd)/tests/data}"
output="${1:-$build/screenshots/share}"
screen="${SCREEN_SIZE:-1200x800x24}"
tool="$build/tools/share-shot/lyrafold-share-shot"
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-share-shots-XXXXXX")"
mkdir -p "$output"

. "$root/scripts/virtual-display.sh"
start_screenshot_display "$screen" "$work"
mkdir -p "$work/tmp" "$work/runtime"
chmod 700 "$work/runtime"

# shot NAME [tool options...]: one picture of the whole screen once the tool says the dialog is shown.
shot() {
    local name="$1"
    shift
    local log="$work/$name.log"
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/runtime" \
        XDG_CONFIG_HOME="$work/config-$name" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
        "$tool" "$@" >"$log" 2>&1 &
    photograph_when_ready "$log" $! "$output/$name.png"
}

shot options --scene options
# A real export of twelve titles as PDF and page images, photographed while it builds.
shot build --scene build --pdf "$testdata/books/songs-from-the-public-domain.pdf"
shot progress --scene progress
shot cancelling --scene cancelling
shot replace --scene replace
# The progress, the question and the popup's hints follow the interface language.
shot progress-turkish --scene progress --language tr
shot progress-spanish --scene progress --language es
shot replace-spanish --scene replace --language es
shot popover --scene popover
shot popover-turkish --scene popover --language tr
shot popover-spanish --scene popover --language es
