#!/usr/bin/env bash
# Photographs the PDF viewer on a virtual display: the real books of the test data in single-page,
# two-page and presentation mode, and the window at its default and its minimum size with the toolbar's
# overflow menu, placed as study mode places it (the first viewer of a run and the next), and back from
# presentation mode while maximized. Then
# annotations: drawn with the mouse on an engraved and a scanned page (pen, highlighter, a note), shown in
# edit mode with the palette, in two-page mode and zoomed in, and the title exported as the viewer shares
# it, rendered with pdftoppm beside the screen shot. Needs a build (make build) and the packages xvfb,
# imagemagick and poppler-utils; with openbox installed the windows get the frames and title bars of a
# window manager, as on a desktop.
#
#   scripts/viewer-screenshots.sh [OUTPUT_DIR]        (default: build/screenshots/viewer)
#
# BUILD_DIR picks another build folder, TESTDATA_DIR another test data folder, SCREEN_SIZE the virtual
# screen (default 1400x1000x24).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
testdata="${TESTDATA_DIR:-$(cd "$(dirname "$0")/.." && pwd)/tests/data}"
output="${1:-$build/screenshots/viewer}"
screen="${SCREEN_SIZE:-1400x1000x24}"
tool="$build/tools/viewer-shot/lyrafold-viewer-shot"
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-viewer-shots-XXXXXX")"
mkdir -p "$output"

. "$root/scripts/virtual-display.sh"
start_screenshot_display "$screen" "$work"
mkdir -p "$work/tmp" "$work/runtime"
chmod 700 "$work/runtime"

# shot NAME BOOK [tool options...]: one picture of the whole screen once the viewer says it is drawn.
shot() {
    local name="$1" book="$2"
    shift 2
    local log="$work/$name.log"
    # No buses: the viewer's keep-awake request fails and is logged, as on a build machine.
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/runtime" \
        XDG_CONFIG_HOME="$work/config-$name" XDG_DATA_HOME="${SHOT_DATA:-$work/data-$name}" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
        "$tool" --pdf "$testdata/$book" "$@" >"$log" 2>&1 &
    photograph_when_ready "$log" $! "$output/$name.png" 0.3
}

shot engraved-single books/songs-from-the-public-domain.pdf --page 12 --mode single
shot engraved-two-page books/songs-from-the-public-domain.pdf --page 12 --mode two-page
shot engraved-presentation books/songs-from-the-public-domain.pdf --page 12 --mode presentation --playlist 40
shot tunebook-single books/dusty-strings-tunebook.pdf --page 10 --mode single --playlist 6
shot tunebook-two-page books/dusty-strings-tunebook.pdf --page 11 --mode two-page
shot scanned-single scans/beethoven-sonata-19-op49-1.pdf --page 1 --mode single
shot scanned-two-page scans/beethoven-sonata-19-op49-1.pdf --page 2 --mode two-page
shot scanned-presentation scans/beethoven-sonata-19-op49-1.pdf --page 3 --mode presentation
# Zoomed into the scan: from the fit, then past it, as a pinch does (made from the page's large image).
shot scanned-zoomed scans/beethoven-sonata-19-op49-1.pdf --page 1 --zoom 2.5

# The default size and the minimum size, with and without a list; the overflow menu holds what the
# toolbar row has no room for.
songs=books/songs-from-the-public-domain.pdf
shot default-size "$songs" --page 12 --size 900x700
shot default-size-list "$songs" --page 12 --size 900x700 --playlist 6
shot default-size-overflow-menu "$songs" --page 12 --size 900x700 --overflow-menu
shot minimum-size "$songs" --page 12 --size 520x420
shot minimum-size-list-overflow-menu "$songs" --page 12 --size 520x420 --playlist 6 --overflow-menu
# The viewer in Turkish at its minimum size and in Spanish at its default size.
shot minimum-size-list-turkish "$songs" --page 12 --size 520x420 --playlist 6 --language tr
shot default-size-list-spanish "$songs" --page 12 --size 900x700 --playlist 6 --language es
# Study mode: the left half of the screen, title bar included.
shot study-mode "$songs" --page 12 --study
# The second viewer of a run in study mode: placed as the first, its title bar on the screen.
shot study-mode-second-viewer "$songs" --page 12 --study-viewers 2
# Back from presentation mode, a maximized window is maximized again.
shot maximized-after-presentation "$songs" --page 12 --maximized --mode presentation-and-back

# The prompt of a text note and the share popover in Turkish and Spanish: English but for the popover's
# hints, whose buttons keep their English titles.
for language in tr es; do
    shot "text-prompt-$language" "$songs" --page 12 --size 900x700 --text-prompt --language "$language"
    shot "share-popover-$language" "$songs" --page 12 --size 900x700 --share --language "$language"
done
# Annotations, kept between the shots of one book in a data folder of their own.
export SHOT_DATA="$work/data-annotated-engraved"
shot annotated-engraved-edit "$songs" --page 12 --draw --edit
shot annotated-engraved-two-page "$songs" --page 12 --mode two-page
shot annotated-engraved-zoomed "$songs" --page 12 --zoom 1.8
shot annotated-engraved-export "$songs" --page 12 --export "$output/annotated-engraved.pdf"
shot annotated-edit-default-size "$songs" --page 12 --size 900x700 --edit
# The palette reached by Tab: its thickness slider has the keyboard focus.
shot annotated-edit-focus "$songs" --page 12 --size 900x700 --edit --focus EditPopoverThickness
# Edit mode in presentation mode: the palette keeps its own colours on the black screen.
shot annotated-presentation-edit "$songs" --page 12 --mode presentation --edit
shot annotated-edit-minimum-size "$songs" --page 12 --size 520x420 --edit
shot annotated-share-popup "$songs" --page 12 --size 900x700 --share
# "+": a button for each of a few playlists, a list for many, the name of a new one when there is none.
shot add-to-playlist-buttons "$songs" --page 12 --size 900x700 --add-to-playlist 3
shot add-to-playlist-list "$songs" --page 12 --size 900x700 --add-to-playlist 12
shot add-to-playlist-new "$songs" --page 12 --size 900x700 --add-to-playlist 0
export SHOT_DATA="$work/data-annotated-scanned"
shot annotated-scanned-single scans/beethoven-sonata-19-op49-1.pdf --page 1 --draw
shot annotated-scanned-zoomed scans/beethoven-sonata-19-op49-1.pdf --page 1 --zoom 1.5
shot annotated-scanned-export scans/beethoven-sonata-19-op49-1.pdf --page 1 --export "$output/annotated-scanned.pdf"
unset SHOT_DATA
for pdf in annotated-engraved annotated-scanned; do
    pdftoppm -r 100 -png -singlefile "$output/$pdf.pdf" "$output/$pdf-pdf"
    echo "$output/$pdf-pdf.png"
done
