#!/usr/bin/env bash
# Photographs the bookmark workshop and the custom files window on a virtual display: the workshop on
# the demo library and on the real books of the test data, the custom files window after a few
# pictures were imported (as single files and as one book); each at the default and the minimum size
# and in Turkish and Spanish, the workshop also with the keyboard focus on a button, a tab and a
# book. Then the main window after an extraction that met tunes without an outline, in English and
# Turkish. Needs a build (make build) and the packages xvfb and imagemagick; with openbox installed the
# windows get the frames and title bars of a window manager, as on a desktop.
#
#   scripts/workshop-screenshots.sh [OUTPUT_DIR]        (default: build/screenshots/workshop)
#
# BUILD_DIR picks another build folder, TESTDATA_DIR another test data folder, SCREEN_SIZE the virtual
# screen (default 1600x1000x24).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
testdata="${TESTDATA_DIR:-$(cd "$(dirname "$0")/.." && pwd)/tests/data}"
output="${1:-$build/screenshots/workshop}"
screen="${SCREEN_SIZE:-1600x1000x24}"
tool="$build/tools/workshop-shot/lyrafold-workshop-shot"
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-workshop-shots-XXXXXX")"
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
        # LENT_BOOK: a demo book that is gone once the library knows it, which the workshop offers to relink.
        local books="$build/demo/books"
        if [ -n "${LENT_BOOK:-}" ]; then
            cp -r "$books" "$profile/books"
            books="$profile/books"
        fi
        eval "$("$build/tools/demo-profile/lyrafold-demo-profile" --profile "$profile" --books "$books")"
        [ -z "${LENT_BOOK:-}" ] || rm "$books/$LENT_BOOK"
        DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$profile/tmp" XDG_RUNTIME_DIR="$profile/runtime" \
            DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
            exec "$tool" "$@"
    ) >"$log" 2>&1 &
    photograph_when_ready "$log" $! "$output/$name.png"
}

books="$testdata"
shot workshop-demo --scene workshop
shot workshop-focus --scene workshop --focus workshopCoverButton
shot workshop-tab-focus --scene workshop --focus workshopTab2
shot workshop-grid-focus --scene workshop --focus workshopGrid
shot workshop-books --scene books --books "$books"
shot workshop-books-minimum-size --scene books --books "$books" --size 960x560
shot workshop-demo-turkish --scene workshop --language tr
shot workshop-books-spanish --scene books --books "$books" --language es --size 960x560
LENT_BOOK="Folk Tunes Sampler (Demo).pdf" shot workshop-relink-spanish --scene workshop --language es
shot custom-files-singles --scene custom-files
shot custom-files-books --scene custom-files --category books
shot custom-files-minimum-size --scene custom-files --size 560x360
shot custom-files-turkish --scene custom-files --language tr
shot custom-files-spanish --scene custom-files --language es --size 560x360
shot extracted --scene extracted --books "$build/demo/books"
shot extracted-turkish --scene extracted --books "$build/demo/books" --language tr
