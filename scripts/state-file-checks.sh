#!/usr/bin/env bash
# Runs Lyrafold on a virtual display with a window manager while other programs write its state files,
# and says what became of the files; a screenshot of each scene. Needs a build (make build), python3,
# xvfb, openbox, xdotool and imagemagick; "disk-full" also needs root (it mounts a small file system).
#
#   scripts/state-file-checks.sh SCENE [OUTPUT_DIR]     (default output: build/screenshots/state-files)
#
# Scenes:
#   slot-visit    a sync tool brings a newer slot_1.json (tests/data/hostile/remote-slot-edit.py), then
#                 the Slot 2 tile is pressed: the file must keep the other program's version
#   slot-edit     the same, then a genre typed into a cell of the first row: merged into that version
#   slot-edit-open  a genre typed into a cell of the first row, no Return; the newer slot_1.json comes
#                 while the field is open and is read in (1.5 s), then Return: the typed genre is made on
#                 that version as any edit not yet written
#   missing       playlists.json moved away, then a playlist file opened: all playlists in the file
#   writer        tests/data/hostile/syncwriter.py adds playlists without Lyrafold's lock (MODE: atomic,
#                 inplace, unlink; ROUNDS, INTERVAL, PAUSE) while playlist files are opened every 0.37 s
#   disk-full     the data folder on a full 1 MB file system, then read-only, while playlists change
#   fifo          a named pipe in place of playlists.json: the window must show, and Quit must end it
#
# BUILD_DIR picks another build folder, APP another program to run (another build's, to compare);
# DISPLAY_NUMBER the first display number tried (31).
set -euo pipefail

scene="$1"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
app="${APP:-$build/src/app/lyrafold}"
hostile="$root/tests/data/hostile"
output="${2:-$build/screenshots/state-files}"
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-state-files-XXXXXX")"
mkdir -p "$output"

display="${DISPLAY_NUMBER:-31}"
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
xvfb_pid=""
wm_pid=""
app_pid=""
mounted=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    [ -n "$mounted" ] && umount "$mounted" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb ":$display" -screen 0 1600x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done
DISPLAY=":$display" openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
sleep 0.5
x() { DISPLAY=":$display" xdotool "$@"; }
shot() { DISPLAY=":$display" import -window root "$output/$scene-$1.png" && echo "screenshot: $output/$scene-$1.png"; }

# A profile of its own: the demo books, Slot 1 current and holding the built-in list's songs.
eval "$("$build/tools/demo-profile/lyrafold-demo-profile" --profile "$work/profile" --books "$build/demo/books")"
data="$XDG_DATA_HOME/Lyrafold"
slots="$data/slots"
mkdir -p "$work/profile/tmp" "$work/profile/runtime" "$XDG_CONFIG_HOME/Lyrafold"
chmod 700 "$work/profile/runtime"
cp "$slots/slot_0.json" "$slots/slot_1.json"
printf '{"activeSlot":1,"slotNames":{}}' >"$slots/slots_meta.json"
python3 - "$data/playlists.json" <<'EOF'
import json, sys
json.dump([{"name": "Gig %d" % k, "items": []} for k in range(1, 4)], open(sys.argv[1], "w"))
EOF

launch() {
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$work/profile/tmp" XDG_RUNTIME_DIR="$work/profile/runtime" \
        "$app" "$@" >>"$work/app.log" 2>&1 &
}
start() {
    launch
    app_pid=$!
    for _ in $(seq 150); do
        grep -q "9 delayed orderFront done" "$work/profile/tmp/Lyrafold_launch.log" 2>/dev/null && break
        sleep 0.1
    done
    sleep 1.5
}
# A playlist file with one playlist, opened with Lyrafold (the running one takes it).
open_playlist() {
    local file="$work/$1.lyf"
    printf '{"lyrafoldFile":"lyrafold_playlist_bundle","version":1,"exportedAt":"x","playlists":[{"name":"%s","items":[{"title":"%s"}]}]}' \
        "$1" "$1" >"$file"
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$work/profile/tmp" XDG_RUNTIME_DIR="$work/profile/runtime" \
        timeout 10 "$app" "$file" >>"$work/app.log" 2>&1 || true
}
slot_summary() {
    python3 - "$1" <<'EOF'
import json, sys
rows = json.load(open(sys.argv[1]))["bookmarks"]
print("%d rows, %d re-tagged by the other program, %d songs it added, %d with the genre typed here" % (
    len(rows), sum(r.get("genre") == "REMOTE-EDIT" for r in rows),
    sum(r["title"].startswith("Remote new song") for r in rows), sum(r.get("genre") == "Typed here" for r in rows)))
EOF
}
playlist_names() {
    python3 -c 'import json,sys; print(" ".join(p["name"] for p in json.load(open(sys.argv[1]))))' "$1" 2>/dev/null ||
        echo "(unreadable)"
}
# The window is centred on the screen (1380 by 640): places in it.
slot2_tile="778 258"
first_genre_cell="527 477"
edit_button="778 410"

case "$scene" in
slot-visit | slot-edit)
    start
    echo "before: $(slot_summary "$slots/slot_1.json")"
    python3 "$hostile/remote-slot-edit.py" "$slots/slot_1.json"
    echo "the other program's: $(slot_summary "$slots/slot_1.json")"
    sleep 1.5
    shot changed
    if [ "$scene" = slot-visit ]; then
        x mousemove $slot2_tile click 1
    else
        # In the table's edit mode a click on a cell edits it.
        x mousemove $edit_button click 1
        sleep 0.5
        x mousemove $first_genre_cell click 1
        sleep 0.8
        x key ctrl+a
        x type --delay 30 "Typed here"
        x key Return
    fi
    sleep 2
    shot after
    echo "after: $(slot_summary "$slots/slot_1.json")"
    ls "$slots" | grep before-merge || true
    ;;
slot-edit-open)
    start
    echo "before: $(slot_summary "$slots/slot_1.json")"
    x mousemove $edit_button click 1
    sleep 0.5
    x mousemove $first_genre_cell click 1
    sleep 0.8
    x key ctrl+a
    x type --delay 30 "Typed here"
    shot typed
    # Made beside it and renamed into place, so that what it holds is told before the window reads it.
    cp "$slots/slot_1.json" "$work/remote.json"
    python3 "$hostile/remote-slot-edit.py" "$work/remote.json"
    echo "the other program's: $(slot_summary "$work/remote.json")"
    mv "$work/remote.json" "$slots/slot_1.json"
    # Well past the guard's read of the changed file (a quarter of a second after it).
    sleep 1.5
    shot read-in
    x key Return
    sleep 2
    shot after
    echo "after: $(slot_summary "$slots/slot_1.json")"
    ls "$slots" | grep before-merge || true
    ;;
missing)
    start
    mv "$data/playlists.json" "$work/moved-away.json"
    sleep 1.5
    open_playlist "Imported"
    sleep 4
    shot after
    echo "playlists.json: $(playlist_names "$data/playlists.json")"
    ;;
writer)
    start
    mode="${MODE:-atomic}"
    rounds="${ROUNDS:-130}"
    PAUSE="${PAUSE:-0.3}" python3 "$hostile/syncwriter.py" "$data/playlists.json" "$rounds" "${INTERVAL:-0.37}" "$mode" \
        "$work/writer.log" &
    writer=$!
    k=0
    while kill -0 "$writer" 2>/dev/null; do
        k=$((k + 1))
        open_playlist "IMP-$k"
        sleep 0.37
    done
    wait "$writer" || true
    sleep 5
    shot after
    python3 - "$data/playlists.json" "$rounds" "$k" <<'EOF'
import json, sys
names = {p["name"] for p in json.load(open(sys.argv[1]))}
rounds, imports = int(sys.argv[2]), int(sys.argv[3])
lost_outside = [n for n in ("EXT-%d" % i for i in range(rounds)) if n not in names]
lost_here = [n for n in ("IMP-%d" % i for i in range(1, imports + 1)) if n not in names]
print("%d written by the other program, %d lost; %d opened here, %d lost" % (rounds, len(lost_outside), imports, len(lost_here)))
EOF
    echo "set aside: $(ls "$data" | grep -c unreadable || true)"
    ;;
disk-full)
    cp -a "$data" "$work/data-copy"
    mount -t tmpfs -o size=1m tmpfs "$data"
    mounted="$data"
    cp -a "$work/data-copy/." "$data/"
    head -c 2000000 /dev/zero >"$data/filler" 2>/dev/null || true
    start
    open_playlist "While full"
    sleep 6
    shot full
    echo "failed writes of playlists.json told in the log within 6 s: $(grep -c 'cannot write.*playlists.json' "$work/app.log" || true)"
    x key Return
    # Room again: the retry after the back-off writes what waited; then a failure is told anew.
    rm -f "$data/filler"
    # The retries back off (2 s, 4 s, 8 s, ...): watch for the write for up to 20 s.
    for _ in $(seq 40); do
        playlist_names "$data/playlists.json" | grep -q "While full" && break
        sleep 0.5
    done
    echo "playlists.json once there is room: $(playlist_names "$data/playlists.json")"
    mount -o remount,ro "$data"
    open_playlist "While read-only"
    sleep 3
    shot read-only
    ;;
fifo)
    rm -f "$data/playlists.json"
    mkfifo "$data/playlists.json"
    launch
    app_pid=$!
    shown=no
    for _ in $(seq 100); do
        grep -q "9 delayed orderFront done" "$work/profile/tmp/Lyrafold_launch.log" 2>/dev/null && shown=yes && break
        sleep 0.1
    done
    sleep 1
    shot started
    echo "window shown: $shown"
    x key ctrl+q
    ended=no
    for _ in $(seq 50); do
        kill -0 "$app_pid" 2>/dev/null || { ended=yes; break; }
        sleep 0.1
    done
    echo "ended within 5 s of Quit: $ended"
    ;;
*)
    echo "unknown scene: $scene" >&2
    exit 2
    ;;
esac
