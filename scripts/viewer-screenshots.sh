#!/usr/bin/env bash
# Photographs the PDF viewer on a virtual display: the real books of the shared test data in single-page,
# two-page and presentation mode. Needs a build (make build) and the packages xvfb and imagemagick.
#
#   scripts/viewer-screenshots.sh [OUTPUT_DIR]        (default: build/screenshots/viewer)
#
# BUILD_DIR picks another build folder, TESTDATA_DIR another test data folder, SCREEN_SIZE the virtual
# screen (default 1400x1000x24).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
testdata="${TESTDATA_DIR:-$(sed -n 's/^LYRAFOLD_TESTDATA_DIR:PATH=//p' "$build/CMakeCache.txt")}"
output="${1:-$build/screenshots/viewer}"
screen="${SCREEN_SIZE:-1400x1000x24}"
tool="$build/tools/viewer-shot/lyrafold-viewer-shot"
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-viewer-shots-XXXXXX")"
mkdir -p "$output"

xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

. "$root/scripts/virtual-display.sh"
start_virtual_display "$screen" "$work/xvfb.log"
mkdir -p "$work/tmp" "$work/runtime"
chmod 700 "$work/runtime"

# shot NAME BOOK [tool options...]: one picture of the whole screen once the viewer says it is drawn.
shot() {
    local name="$1" book="$2"
    shift 2
    local log="$work/$name.log"
    # No buses: the viewer's keep-awake request fails and is logged, as on a build machine.
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/runtime" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
        "$tool" --pdf "$testdata/$book" "$@" >"$log" 2>&1 &
    local pid=$!
    for _ in $(seq 300); do
        grep -q '^ready' "$log" 2>/dev/null && break
        sleep 0.1
    done
    sleep 0.3
    DISPLAY=":$display" import -window root "$output/$name.png"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "$output/$name.png"
}

shot engraved-single books/songs-from-the-public-domain.pdf --page 12 --mode single
shot engraved-two-page books/songs-from-the-public-domain.pdf --page 12 --mode two-page
shot engraved-presentation books/songs-from-the-public-domain.pdf --page 12 --mode presentation --playlist 40
shot tunebook-single books/dusty-strings-tunebook.pdf --page 10 --mode single --playlist 6
shot tunebook-two-page books/dusty-strings-tunebook.pdf --page 11 --mode two-page
shot scanned-single scans/beethoven-sonata-19-op49-1.pdf --page 1 --mode single
shot scanned-two-page scans/beethoven-sonata-19-op49-1.pdf --page 2 --mode two-page
shot scanned-presentation scans/beethoven-sonata-19-op49-1.pdf --page 3 --mode presentation
