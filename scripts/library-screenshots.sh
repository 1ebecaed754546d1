#!/usr/bin/env bash
# Photographs the library's extraction on a virtual display with the real books of the test data:
# the slot prompt, the extraction of the books folder into Slot 1, a search for a song of each book
# that has an outline, the question of a re-extraction from the slot's own folder and from another one
# typed into the folder field, then the question before a filled slot is replaced and the progress of a large
# run (a folder of thousands of links to the same books). The last two are taken again in Spanish at
# the window's minimum size and in Turkish. Then the import forms, with files handed to the window as a drop would:
# a book with an outline (the bookmarked-PDF form, then the image and PDF form after its Cancel, then
# the imported book, which is taken again in Spanish and Turkish), and several pictures with a PDF. Needs a build (make build) and the packages
# xvfb, imagemagick and xdotool; with openbox installed the windows get a window manager's frames.
#
#   scripts/library-screenshots.sh [OUTPUT_DIR]        (default: build/screenshots/library)
#
# BUILD_DIR picks another build folder, TESTDATA_DIR another test data folder.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
testdata="${TESTDATA_DIR:-$(cd "$(dirname "$0")/.." && pwd)/tests/data}"
output="${1:-$build/screenshots/library}"
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-library-shots-XXXXXX")"
mkdir -p "$output"

xvfb_pid=""
wm_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

. "$root/scripts/virtual-display.sh"
start_virtual_display 1600x900x24 "$work/xvfb.log"
if command -v openbox >/dev/null; then
    DISPLAY=":$display" openbox --sm-disable >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    sleep 0.5
fi
x() { DISPLAY=":$display" xdotool "$@"; }
shot() { DISPLAY=":$display" import -window root "$output/$1.png"; }

# The large folder: links to the test books under thousands of names, in shelves of 200.
many="$work/Many books"
books=("$testdata"/books/*.pdf)
for i in $(seq 0 3999); do
    shelf="$many/shelf $((i / 200))"
    mkdir -p "$shelf"
    ln "${books[$((i % ${#books[@]}))]}" "$shelf/Book $i.pdf" 2>/dev/null || ln -s "${books[$((i % ${#books[@]}))]}" "$shelf/Book $i.pdf"
done

# launch LANGUAGE PROGRAM [ARGS...]: a program on a fresh profile whose empty Slot 1 has the test books as
# its folder, in the interface language.
launch() {
    local language="$1" program="$2"
    shift 2
    local profile="$work/profile-$language-$(basename "$program")"
    eval "$("$build/tools/demo-profile/lyrafold-demo-profile" --profile "$profile" --books "$build/demo/books")"
    local slots="$XDG_DATA_HOME/Lyrafold/slots"
    rm -f "$XDG_DATA_HOME/Lyrafold/bookmarks_cache.json"
    printf '{"selectedFolder":"%s","savedAt":0,"bookmarks":[]}' "$testdata/books" >"$slots/slot_1.json"
    printf '{"activeSlot":1,"slotNames":{}}' >"$slots/slots_meta.json"
    mkdir -p "$profile/tmp" "$profile/runtime" "$XDG_CONFIG_HOME/Lyrafold"
    chmod 700 "$profile/runtime"
    printf '[General]\nLyrafold.uiLanguage=%s\n' "$language" >"$XDG_CONFIG_HOME/Lyrafold/Lyrafold.conf"
    launch_log="$profile/tmp/launch-output.log"
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$profile/tmp" XDG_RUNTIME_DIR="$profile/runtime" \
        "$program" "$@" >"$launch_log" 2>&1 &
    app_pid=$!
}

# start LANGUAGE: the application itself, once its window has settled.
start() {
    launch "$1" "$build/src/app/lyrafold"
    for _ in $(seq 100); do
        grep -q "9 delayed orderFront done" "$(dirname "$launch_log")/Lyrafold_launch.log" 2>/dev/null && break
        sleep 0.1
    done
    sleep 1
}

# import_files LANGUAGE FILE...: the window handed the files, once the first form is up.
import_files() {
    local language="$1" args=()
    shift
    for file in "$@"; do args+=(--file "$file"); done
    launch "$language" "$build/tools/import-shot/lyrafold-import-shot" --playlist "Fiddle tunes" "${args[@]}"
    for _ in $(seq 100); do
        grep -q "^asked" "$launch_log" 2>/dev/null && break
        sleep 0.1
    done
    sleep 2
}

stop() {
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
}

# Places in the window as laid out on this screen (the window is centred, 1380 by 640).
extract_tile="171 291"
search_field="440 410"
folder_field="1253 192"
reextract_button="818 470" # "Re-extract folder" in the question Extract asks of a filled slot

# reextract_question NAME: Extract > Re-extract folder > Slot 1 > Extract all, and the question before the
# slot's songs are replaced, which is then cancelled.
reextract_question() {
    x mousemove $extract_tile click 1
    sleep 1
    x mousemove $reextract_button click 1
    sleep 1
    x key Return # the slot prompt: Slot 1
    sleep 1.5
    x key Return # "Extract all PDFs"
    sleep 1.5
    shot "$1"
    x key Escape
    sleep 0.5
}

# large_run PREFIX: Extract > New extraction, the large folder typed into the folder panel, Slot 1
# kept, the question before its songs are replaced, then the run under way and its end.
large_run() {
    x mousemove $extract_tile click 1
    sleep 1
    x key Return # "New extraction"
    sleep 1.5
    x key ctrl+a
    x type --delay 20 "$many"
    x key Return
    sleep 1.5
    x key Return # the slot prompt: Slot 1
    sleep 1
    shot "$1-replace-question"
    x key Return # "Clear"
    sleep 0.5
    shot "$1-progress"
    sleep 8
    shot "$1-large-result"
}

start en
x mousemove $extract_tile click 1
sleep 1
x type --delay 40 "Test books"
shot slot-prompt
x key Return
sleep 3
shot extracted
x mousemove $search_field click 1
x type --delay 40 "Abide with me"
sleep 1
shot search-songs-from-the-public-domain
x key ctrl+a
x type --delay 40 "Angeline"
sleep 1
shot search-dusty-strings
x key ctrl+a BackSpace
sleep 0.5
# Slot 1 from its own folder: rebuilt from its books. Then another folder typed into the folder field:
# the slot's songs are lost, and the question says so.
reextract_question reextract-own-folder-question
x mousemove $folder_field click 1
x key ctrl+a
x type --delay 20 "$many"
x key Return
sleep 0.5
reextract_question reextract-other-folder-question
large_run en
stop

start es
# The window at its minimum size, 1200 by 480.
x search --sync --onlyvisible --name "LYRAFOLD" windowsize 1200 480
sleep 1

x mousemove $extract_tile click 1
sleep 1
x key Return
sleep 1
shot es-minimum-extracted
large_run es-minimum
stop

start tr
x mousemove $extract_tile click 1
sleep 1
x key Return
sleep 1
large_run tr
stop

import_files en "$testdata/books/dusty-strings-tunebook.pdf"
shot import-bookmarked-form
x key Escape
sleep 1
shot import-single-file-form
x key Return
sleep 3
shot import-result
stop

for language in es tr; do
    import_files $language "$testdata/books/dusty-strings-tunebook.pdf"
    x key Escape
    sleep 1
    x key Return
    sleep 3
    # The viewer opened on the imported title is set aside: the picture is of the status line.
    x search --name "dusty-strings-tunebook.pdf" windowminimize 2>/dev/null || true
    sleep 1
    shot $language-import-result
    stop
done

for colour in lightblue khaki; do convert -size 900x600 "xc:$colour" -gravity center -pointsize 48 \
    -annotate 0 "$colour score" "$work/Scan $colour.png"; done
import_files en "$work/Scan lightblue.png" "$work/Scan khaki.png" "$testdata/books/joplin-pineapple-rag.pdf"
shot import-several-files-form
x key Escape
stop
echo "$output"
