#!/usr/bin/env bash
# Walks through the PDF viewer as a user does, with the mouse and the keyboard (xdotool), on a virtual
# display with a window manager (openbox), and says what it saw; pictures of each step go to the
# output folder. Needs a build (make build) and the packages xvfb, openbox, xdotool, x11-utils,
# imagemagick and qpdf.
#
#   scripts/viewer-checks.sh [OUTPUT_DIR [CHECK...]]   (default: build/screenshots/viewer-checks, all)
#
# 1. presentation: Edit, a stroke on the page, Done, Fullscreen, a double click on the page: the
#    window should leave full screen.
# 2. undo-book: a 600-page book with a stroke on every page, Clear book, then Undo 600 times: every
#    page should be back in the book's annotation file.
# 3. save: Share, PDF, "Save to local disc", a file name: the viewer should say where it saved.
#
# BUILD_DIR picks another build folder, FIRST_DISPLAY the first display number tried (default 99).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
testdata="$root/tests/data"
output="${1:-$build/screenshots/viewer-checks}"
tool="$build/tools/viewer-shot/lyrafold-viewer-shot"
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-viewer-checks-XXXXXX")"
mkdir -p "$output"

. "$root/scripts/virtual-display.sh"
start_screenshot_display 1400x1000x24 "$work"
export DISPLAY=":$display"
mkdir -p "$work/tmp" "$work/runtime"
chmod 700 "$work/runtime"

viewer_pid=""
# viewer NAME BOOK [tool options...]: starts the viewer on the book and waits until it is drawn.
viewer() {
    local name="$1" book="$2"
    shift 2
    controls="$work/$name.controls"
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/runtime" \
        XDG_CONFIG_HOME="$work/config-$name" XDG_DATA_HOME="$work/data-$name" HOME="$work/home-$name" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
        "$tool" --pdf "$book" --controls "$controls" "$@" >"$work/$name.log" 2>&1 &
    viewer_pid=$!
    for _ in $(seq 300); do
        grep -q '^ready' "$work/$name.log" 2>/dev/null && break
        sleep 0.1
    done
    sleep 0.5
}

stop_viewer() {
    cp "$controls" "$output/" 2>/dev/null || true
    kill "$viewer_pid" 2>/dev/null || true
    wait "$viewer_pid" 2>/dev/null || true
}

# control TEXT: the centre "x y" of the control on screen whose text (or object name) is TEXT.
control() {
    local found=""
    for _ in $(seq 50); do
        found="$(awk -F'\t' -v t="$1" '$1 == t || $2 == t { print $3 " " $4; exit }' "$controls" 2>/dev/null)"
        [ -n "$found" ] && break
        sleep 0.1
    done
    [ -n "$found" ] || { echo "no control '$1' on screen" >&2; return 1; }
    echo "$found"
}

click() {
    local at
    at="$(control "$1")"
    xdotool mousemove $at click 1
    sleep 0.4
}

shoot() {
    import -window root "$output/$1.png"
}

viewer_window() {
    xdotool search --pid "$viewer_pid" --onlyvisible --name '\.pdf$' | head -1
}

full_screen() {
    if xprop -id "$(viewer_window)" _NET_WM_STATE | grep -q FULLSCREEN; then echo yes; else echo no; fi
}

songs="$testdata/books/songs-from-the-public-domain.pdf"

# ---- 1. A double click leaves presentation mode after a stroke was drawn
check_presentation() {
viewer presentation "$songs" --page 12
click editButton
# A line across the middle of the page, which the window centres.
read -r x y <<<"$(control currentTitleLabel)"
xdotool mousemove 520 500 mousedown 1
for step in $(seq 1 12); do xdotool mousemove $((520 + step * 10)) $((500 + step * 3)); done
xdotool mouseup 1
sleep 0.3
shoot presentation-0-stroke
click editButton
click Fullscreen
sleep 1
shoot presentation-1-full-screen
echo "presentation: full screen after Fullscreen: $(full_screen)"
xdotool mousemove 700 500 click --repeat 2 --delay 80 1
sleep 1.2
shoot presentation-2-after-double-click
echo "presentation: full screen after the double click: $(full_screen)"
stop_viewer
}

# ---- 2. Clear book on a 600-page book, then 600 undos
check_undo_book() {
book="$work/six-hundred.pdf"
qpdf --empty --pages "$songs" 1-193 "$songs" 1-193 "$songs" 1-193 "$songs" 1-21 -- "$book"
cache="$work/data-undo-book/LyrafoldMac/PDFEditCache"
mkdir -p "$cache"
name="$(printf '%s' "$book" | base64 -w0 | tr '+/' '-_' | tr -d '=')"
python3 - "$cache/$name.json" <<'PY'
import json, sys
stroke = {"points": [{"x": 100, "y": 400}, {"x": 300, "y": 420}], "color": {"red": 1, "green": 0, "blue": 0, "alpha": 1},
          "thickness": 3, "opacity": 1, "isHighlighter": False}
json.dump({"strokesByPage": {str(p): [stroke] for p in range(600)}, "textsByPage": {}}, open(sys.argv[1], "w"))
PY
viewer undo-book "$book" --page 1 --edit
click "Clear book"
sleep 0.5
shoot undo-book-1-question
click Clear
sleep 1
pages_after_clear="$(python3 -c 'import json,sys,os; f=sys.argv[1]; print(len(json.load(open(f))["strokesByPage"]) if os.path.exists(f) else 0)' "$cache/$name.json")"
echo "undo-book: pages with annotations after Clear book: $pages_after_clear"
read -r x y <<<"$(control Undo)"
xdotool mousemove "$x" "$y" click --repeat 620 --delay 15 1
sleep 2
shoot undo-book-2-after-undos
python3 - "$cache/$name.json" <<'PY'
import json, sys
pages = json.load(open(sys.argv[1]))["strokesByPage"]
print("undo-book: pages with a stroke after 620 clicks on Undo:", sum(1 for v in pages.values() if v))
PY
stop_viewer
}

# ---- 3. The popup's save says where it saved
check_save() {
viewer save "$songs" --page 12 --size 1380x900
click Share
sleep 0.5
click PDF
for _ in $(seq 100); do
    grep -q 'Save to local disc' "$controls" 2>/dev/null && break
    sleep 0.1
done
shoot save-1-popup
click "Save to local disc"
sleep 1
read -r x y <<<"$(control fileNameEdit)"
xdotool mousemove "$x" "$y" click --repeat 3 1
xdotool type --delay 20 "$work/saved.pdf"
xdotool key Return
sleep 2
shoot save-2-after-save
if [ -f "$work/saved.pdf" ]; then echo "save: the file was written"; else echo "save: no file"; fi
notice="$(awk -F'\t' '$1 ~ /^Saved to/ && $5 == "viewerNotice" { print $1; exit }' "$controls")"
tip="$(awk -F'\t' '$1 ~ /^Saved to/ && $5 != "viewerNotice" { print $1 " (" $5 ")"; exit }' "$controls")"
echo "save: the viewer's notice says: ${notice:-nothing}"
echo "save: elsewhere on screen: ${tip:-nothing}"
stop_viewer
}

checks=("${@:2}")
[ ${#checks[@]} -gt 0 ] || checks=(presentation undo_book save)
for check in "${checks[@]}"; do
    "check_$check"
done
