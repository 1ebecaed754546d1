#!/usr/bin/env bash
# Photographs what the application says of files it is handed that it does not read, on a virtual
# display with the demo library copied into Slot 1: a pipe named like a playlist file given at the
# start (lyf-pipe); a pipe, a file over the size bound and a CSV with a cell of 70,000 characters
# picked in "Import Metadata File" (metadata-pipe, metadata-too-large, metadata-long-record); through
# Custom Files' "Import Images/PDFs" a pipe named like a picture (picture-pipe) and a HEIC picture
# whose stated size is over the pixel budget (picture-too-large); and a 16000 x 4000 HEIC panorama,
# which imports (picture-panorama). After the refusals the application is quit from its menu and the
# script says whether it ended. Needs a build (make build) and the packages xvfb, imagemagick and
# xdotool; with openbox installed the windows get a window manager's frames.
#
#   scripts/input-screenshots.sh [OUTPUT_DIR]        (default: build/screenshots/inputs)
#
# BUILD_DIR picks another build folder (APP another program to start), TESTDATA_DIR another test data
# folder. The clicks are at the places of the default layout on a 1600x900 screen.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
app="${APP:-$build/src/app/lyrafold}"
testdata="${TESTDATA_DIR:-$root/tests/data}"
output="${1:-$build/screenshots/inputs}"
mkdir -p "$output"

. "$root/scripts/virtual-display.sh"
start_screenshot_display 1600x900x24 "$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-input-shots-XXXXXX")"
work="$screenshot_work"
x() { DISPLAY=":$display" xdotool "$@"; }
shot() { DISPLAY=":$display" import -window root "$output/$1.png"; }

eval "$("$build/tools/demo-profile/lyrafold-demo-profile" --profile "$work/profile" --books "$build/demo/books")"
slots="$XDG_DATA_HOME/Lyrafold/slots"
cp "$slots/slot_0.json" "$slots/slot_1.json"
mkdir -p "$work/tmp" "$work/runtime" "$XDG_CONFIG_HOME/Lyrafold" "$HOME/Documents/pictures"
chmod 700 "$work/runtime"
printf '[General]\nLyrafold.uiLanguage=en\n' >"$XDG_CONFIG_HOME/Lyrafold/Lyrafold.conf"

files="$work/files"
mkdir -p "$files"
mkfifo "$files/set.lyf" "$files/metadata.csv" "$HOME/Documents/pictures/scan.png"
truncate -s 600M "$files/huge.csv" # sparse: nothing is written to the disk
{
    printf 'Title,Genre\nNinth Street Shuffle,"'
    head -c 70000 /dev/zero | tr '\0' x
    printf '"\n'
} >"$files/long.csv"
cp "$testdata/pictures/pano-16000x4000.heic" "$HOME/Documents/pictures/"
# The panorama with its stored size (ispe) made 12000 x 9000.
python3 - "$testdata/pictures/pano-16000x4000.heic" "$HOME/Documents/pictures/big.heic" <<'EOF'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
at = data.find(b'ispe')
data[at + 8:at + 16] = bytes.fromhex('00002ee000002328')
open(sys.argv[2], 'wb').write(data)
EOF

app_pid=""
# start [ARGS...]: the application on the profile, Slot 1 current, once its window has settled.
start() {
    printf '{"activeSlot":1,"slotNames":{}}' >"$slots/slots_meta.json"
    rm -f "$work/tmp/Lyrafold_launch.log"
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/runtime" \
        PULSE_SERVER="unix:$work/runtime/no-pulse" "$app" "$@" >>"$work/app.log" 2>&1 &
    app_pid=$!
    for _ in $(seq 150); do
        grep -q "9 delayed orderFront done" "$work/tmp/Lyrafold_launch.log" 2>/dev/null && break
        sleep 0.1
    done
    sleep 1
}
# quit: closes the alert, quits from the Lyrafold menu and says whether the process ended.
quit() {
    x key Return
    sleep 0.5
    x mousemove 143 146 click 1
    sleep 0.7
    x mousemove 198 167 click 1
    for _ in $(seq 50); do
        kill -0 "$app_pid" 2>/dev/null || {
            echo "$1: the application ended after Quit"
            return
        }
        sleep 0.2
    done
    echo "$1: the application still runs 10 s after Quit" >&2
    kill "$app_pid" 2>/dev/null || true
    sleep 1
    kill -9 "$app_pid" 2>/dev/null || true
}
# metadata FILE SHOT: Tools > "Import Metadata File (CSV / JSON)…", FILE typed into the open panel.
metadata() {
    x mousemove 241 146 click 1
    sleep 0.7
    x mousemove 356 189 click 1
    sleep 1.5
    x type --delay 5 "$1"
    x key Return
    sleep 2
    shot "$2"
}
# pictures FILE SHOT [SECONDS]: Custom Files > "Import Images/PDFs", FILE (in ~/Documents) typed into
# the open panel, the form's Import.
pictures() {
    x mousemove 391 290 click 1
    sleep 1.5
    x mousemove 876 701 click 1
    sleep 1.5
    x type --delay 5 "$1"
    x key Return
    sleep 1.5
    x key Return
    sleep "${3:-2}"
    shot "$2"
}

start "$files/set.lyf"
sleep 1
shot lyf-pipe
quit lyf-pipe

start
metadata "$files/metadata.csv" metadata-pipe
x key Return
sleep 0.5
metadata "$files/huge.csv" metadata-too-large
x key Return
sleep 0.5
metadata "$files/long.csv" metadata-long-record
quit metadata

start
pictures pictures/scan.png picture-pipe
x key Return
sleep 0.5
x key Escape
pictures pictures/big.heic picture-too-large
quit picture

start
pictures pictures/pano-16000x4000.heic picture-panorama 6
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
ls "$output"/*.png
