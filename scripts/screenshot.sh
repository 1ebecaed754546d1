#!/usr/bin/env bash
# Takes a screenshot of the main window on a virtual display, with the demo library that `make run`
# shows. Needs a build (make build) and the packages xvfb, imagemagick and xdotool.
#
#   scripts/screenshot.sh [--scene SCENE] [OUTPUT.png]   (default: build/screenshots/<scene>.png)
#
# Scenes: main-window (as started), sort (the list sorted by title, descending), search (the results of a search), preview (the hover page preview
# of the first row), edit-dialog (the metadata dialog of the first row, from a copy of the demo
# library in Slot 1, since the Default slot is read-only), delete-confirm (the question before
# seven rows of that copy are deleted), study-open (the first row opened with study mode ticked: the
# viewer on the left half of the screen), listen-consent (the question before the
# first song recognition), listening (a recognition run under way, recording from a private
# PulseAudio server with a virtual microphone, which needs the pulseaudio package), listen-failed (the
# alert of a run without any microphone), recognition-token (the AudD token dialog from the settings
# menu), playlists (the playlists window with the demo playlist "Sunday Session" selected),
# playlist-preview (its hover page preview of the first title), playlist-share (the "Share Playlist"
# dialog over it; scripts/share-screenshots.sh photographs the export's progress, which the demo books
# build too quickly to catch), playlist-study (its first title opened in study mode), playlist-keys (the ring
# moved by the arrow keys to the Spotify button of the first title), playlist-received (a
# playlist file from someone who keeps the book in another folder, handed to the program at its start,
# and its first title opened: the book is found in the folder of Slot 1). auto-playlist opens the
# Auto-Playlist window from its tile;
# auto-playlist-generated shows it after Generate, auto-playlist-picker with the genre picker open,
# auto-playlist-share with the share dialog, auto-playlist-years with both year handles on one year,
# auto-playlist-preview with the page preview of a generated title, auto-playlist-study with a generated
# title opened in study mode, auto-playlist-minimum at its minimum size,
# auto-playlist-keys with the keyboard's ring on a button of a generated title, auto-playlist-year-keys
# with the upper year handle focused and moved by the arrow keys. tile-focus shows the keyboard
# focus ring on the Playlists tile, reached by Shift+Tab from the search field (FOCUS_STEPS presses of
# it reach the tiles before: 12 the Default slot); table-focus the focused current row of the table,
# reached by Tab from the search field and moved one row down, its "+" ringed as the current cell
# (Space presses it); header-focus the table's header with the keyboard's ring on the Genre section,
# reached by Down from the search field to the first row and Tab from there, and pressed by Space (the
# rows sorted by genre); file-dialog the folder
# dialog of Extract Bookmarks (with UI_LANGUAGE=tr or es: Qt's own texts in that language);
# extract-question the question Extract Bookmarks asks before it extracts a folder again;
# web-focus the keyboard's ring on the Spotify button, reached by Tab from the search field (FOCUS_STEPS
# presses: 4; 2 the dark "Tag selected" button); playlist-card-focus the ring on the first title card of
# the playlists window, reached by Tab, and playlist-card-return the same card opened by Return; alert-focus the ring on the second button of the
# question of Extract Bookmarks, moved there by Tab. The scenes click at the places the windows' layouts give
# them on the default screen.
#
# BUILD_DIR picks another build folder; SCREEN_SIZE the virtual screen (default 1600x900x24);
# SEARCH_TEXT what the search scene types (default "blue"); UI_LANGUAGE the interface language (en,
# tr or es; default en). WINDOW_SIZE (such as 1200x480) gives the window that size at the screen's
# top-left corner and takes the picture of the window alone; the screen grows to hold it. Only the
# main-window scene honours it (the other scenes click at places of the default layout).
# WINDOW_MANAGER=openbox runs the program under that window manager, as on a desktop (the windows get
# title bars; the main and playlists windows keep their places, the clicks inside the Auto-Playlist
# window may miss).
# PLAYLISTS_SIZE ("WIDTH HEIGHT") gives the playlists window that size in its scenes.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
scene="main-window"
if [ "${1:-}" = "--scene" ]; then
    scene="${2:?--scene needs a name}"
    shift 2
fi
case "$scene" in
main-window | sort | search | preview | edit-dialog | delete-confirm | study-open | listen-consent | listening | \
    listen-failed | recognition-token | tile-focus | table-focus | header-focus | file-dialog) ;;
extract-question | web-focus | alert-focus) ;;
playlists | playlist-preview | playlist-share | playlist-study | playlist-received | playlist-keys | \
    playlist-card-focus | playlist-card-return) ;;
auto-playlist | auto-playlist-generated | auto-playlist-picker | auto-playlist-share | auto-playlist-years | \
    auto-playlist-preview | auto-playlist-study | auto-playlist-minimum | auto-playlist-keys | \
    auto-playlist-year-keys) ;;
*)
    echo "unknown scene: $scene" >&2
    exit 2
    ;;
esac
output="${1:-$build/screenshots/$scene.png}"
screen="${SCREEN_SIZE:-1600x900x24}"
window_size="${WINDOW_SIZE:-}"
if [ -n "$window_size" ]; then
    if [ "$scene" != "main-window" ]; then
        echo "WINDOW_SIZE works with the main-window scene only" >&2
        exit 2
    fi
    window_width="${window_size%x*}"
    window_height="${window_size#*x}"
    screen="$((window_width > 1600 ? window_width : 1600))x$((window_height > 900 ? window_height : 900))x24"
fi
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-screenshot-XXXXXX")"
mkdir -p "$(dirname "$output")"

xvfb_pid=""
app_pid=""
pulse_pid=""
wm_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

. "$root/scripts/virtual-display.sh"
start_virtual_display "$screen" "$work/xvfb.log"
if [ -n "${WINDOW_MANAGER:-}" ]; then
    DISPLAY=":$display" "$WINDOW_MANAGER" >"$work/wm.log" 2>&1 &
    wm_pid=$!
    sleep 0.5
fi

# A fresh demo profile, so the picture does not depend on what an earlier run changed.
eval "$("$build/tools/demo-profile/lyrafold-demo-profile" --profile "$work/profile" --books "$build/demo/books")"
if [ "$scene" = "edit-dialog" ] || [ "$scene" = "delete-confirm" ]; then
    slots="$XDG_DATA_HOME/Lyrafold/slots"
    cp "$slots/slot_0.json" "$slots/slot_1.json"
    printf '{"activeSlot":1,"slotNames":{}}' >"$slots/slots_meta.json"
fi
app_args=()
if [ "$scene" = "playlist-received" ]; then
    # Slot 1 is the user's library of the test books' songbook; the playlist file names the book at the
    # sender's own folder.
    testdata="${TESTDATA_DIR:-$root/tests/data}"
    my_books="$work/My books"
    mkdir -p "$my_books"
    cp "$testdata/books/songs-from-the-public-domain.pdf" "$my_books/"
    slots="$XDG_DATA_HOME/Lyrafold/slots"
    printf '{"selectedFolder":"%s","savedAt":0,"bookmarks":[]}' "$my_books" >"$slots/slot_1.json"
    printf '{"activeSlot":1,"slotNames":{}}' >"$slots/slots_meta.json"
    rm -f "$XDG_DATA_HOME/Lyrafold/playlists.json" "$XDG_DATA_HOME/Lyrafold/bookmarks_cache.json"
    sender="/home/ana/Music/Songbooks/songs-from-the-public-domain.pdf"
    item() { printf '{"title":"%s","bookName":"songs-from-the-public-domain.pdf","sourcePath":"%s","page":%s}' "$1" "$sender" "$2"; }
    printf '{"lyrafoldFile":"lyrafold_playlist_bundle","version":1,"exportedAt":"2026-12-01T19:00:00Z","playlists":[{"name":"From Ana","items":[%s,%s,%s]}]}' \
        "$(item "Auld Lang Syne" 43)" "$(item "The Ash Grove" 57)" "$(item "Annie Laurie" 63)" >"$work/From Ana.lyf"
    app_args=("$work/From Ana.lyf")
fi
mkdir -p "$work/tmp" "$work/runtime" "$XDG_CONFIG_HOME/Lyrafold"
chmod 700 "$work/runtime"
{
    echo "[General]"
    echo "Lyrafold.uiLanguage=${UI_LANGUAGE:-en}"
    # Every listening scene but the question itself: the user has agreed already.
    if [ "$scene" != "listen-consent" ]; then echo "RecognitionAudioUploadConfirmed=true"; fi
} >"$XDG_CONFIG_HOME/Lyrafold/Lyrafold.conf"

# The sound server the application asks: a private one with a virtual microphone for the listening
# scene, none at all otherwise (so the picture never depends on the machine's own sound devices).
pulse_server="unix:$work/runtime/no-pulse"
if [ "$scene" = "listening" ]; then
    pulse_server="unix:$work/pulse.socket"
    HOME="$work" XDG_RUNTIME_DIR="$work/runtime" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --disallow-exit -L "module-null-sink sink_name=room" \
        -L "module-remap-source master=room.monitor source_name=microphone" \
        -L "module-native-protocol-unix socket=$work/pulse.socket auth-anonymous=1" >"$work/pulse.log" 2>&1 &
    pulse_pid=$!
    for _ in $(seq 50); do
        [ -S "$work/pulse.socket" ] && break
        sleep 0.1
    done
fi
DISPLAY=":$display" QT_QPA_PLATFORM=xcb TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/runtime" \
    PULSE_SERVER="$pulse_server" "$build/src/app/lyrafold" "${app_args[@]}" >"$work/app.log" 2>&1 &
app_pid=$!

# The window has settled once the launch log says so; give it a moment more to paint.
for _ in $(seq 100); do
    grep -q "9 delayed orderFront done" "$work/tmp/Lyrafold_launch.log" 2>/dev/null && break
    sleep 0.1
done
sleep 1

# Places in the window as laid out on the default screen (the window is centred, 1380 by 640).
x() { DISPLAY=":$display" xdotool "$@"; }
search_field="412 402"
extract_tile="170 280"
first_row="330 469"
listen_tile="986 280"
settings_gear="1423 184"
delete_selected="972 402"
study_mode_checkbox="1138 402"
playlists_tile="1425 280"
auto_playlist_tile="1315 280"
# In the playlists window, centred at 900 by 600: the first playlist, the first title, Share Playlist,
# the study mode box.
first_playlist="500 222"
first_title="860 240"
share_playlist="1192 699"
playlists_study_mode="903 171"
case "$scene" in
sort)
    # Two clicks on the "Bookmark Title" header: descending, the header's triangle pointing down.
    x mousemove 330 445 click 1
    sleep 0.5
    x mousemove 330 445 click 1
    sleep 1
    ;;
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
study-open)
    x mousemove $study_mode_checkbox click 1
    x mousemove $first_row click 1
    sleep 2
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
delete-confirm)
    # Seven rows picked with Ctrl held, then Delete selected: the question names five and counts the rest.
    for row in 0 1 2 3 4 5 6; do
        x mousemove 330 $((469 + 24 * row)) keydown ctrl click 1 keyup ctrl
    done
    sleep 0.3
    x mousemove $delete_selected click 1
    sleep 1
    ;;
listen-consent | listen-failed)
    x mousemove $listen_tile click 1
    sleep 1
    ;;
listening)
    x mousemove $listen_tile click 1
    x mousemove 700 760
    sleep 2
    ;;
playlists | playlist-preview | playlist-share | playlist-study | playlist-keys | playlist-card-focus | \
    playlist-card-return)
    x mousemove $playlists_tile click 1
    sleep 1
    # PLAYLISTS_SIZE ("WIDTH HEIGHT", e.g. the minimum "600 400") resizes the window from its top left.
    if [ -n "${PLAYLISTS_SIZE:-}" ]; then
        x search --name "LYRAFOLD \(beta\) - Playlist" windowsize $PLAYLISTS_SIZE
        sleep 0.5
    fi
    x mousemove $first_playlist click 1
    sleep 0.5
    x mousemove 700 700
    case "$scene" in
    playlist-preview)
        x mousemove $first_title
        x mousemove_relative 4 1
        sleep 0.2
        x mousemove_relative 4 0
        sleep 1.5
        ;;
    playlist-share)
        x mousemove $share_playlist click 1
        sleep 1
        ;;
    playlist-study)
        x mousemove $playlists_study_mode click 1
        x mousemove $first_title click 1
        sleep 2
        ;;
    playlist-keys)
        # A press on the handle of the first title focuses the list without opening the title; the first
        # arrow makes that title the current one, the second rings its first button.
        x mousemove 761 230 click 1
        sleep 0.3
        x key Right Right
        sleep 0.5
        ;;
    playlist-card-focus | playlist-card-return)
        # From the list of playlists, Tab goes on past its buttons and the study mode controls to the
        # titles: the first card is ringed.
        for _ in $(seq "${FOCUS_STEPS:-6}"); do x key Tab; done
        sleep 0.5
        if [ "$scene" = "playlist-card-return" ]; then
            x key Return
            sleep 2
        fi
        ;;
    esac
    ;;
playlist-received)
    # The import opens the playlists window with the playlist received, the only one.
    x mousemove $first_playlist click 1
    sleep 0.5
    x mousemove $first_title click 1
    sleep 2
    ;;
auto-playlist*)
    x mousemove $auto_playlist_tile click 1
    sleep 1.5
    # Places in the Auto-Playlist window, from its top-left corner at its default size.
    eval "$(x search --sync --name '^(Auto-Playlist|Otomatik Playlist|Playlist automática)$' getwindowgeometry --shell)"
    at() {
        local dx="$1" dy="$2"
        shift 2
        x mousemove $((X + dx)) $((Y + dy)) "$@"
    }
    generate="70 263"
    case "$scene" in
    auto-playlist-generated)
        at $generate click 1
        sleep 1
        ;;
    auto-playlist-picker)
        at 299 80 click 1
        sleep 1
        ;;
    auto-playlist-share)
        at $generate click 1
        sleep 1
        at 190 686 click 1
        sleep 1
        ;;
    auto-playlist-years)
        # The upper handle dragged down to 1965, then the lower one up against it.
        at 606 172 mousedown 1
        at 500 172
        at 462 172 mouseup 1
        at 337 172 mousedown 1
        at 420 172
        at 520 172 mouseup 1
        sleep 0.5
        ;;
    auto-playlist-preview)
        # Titles of the demo fakebook only: the hymnal of the demo library is not in its folder.
        at 724 88 click 1
        at $generate click 1
        sleep 1
        at 386 367
        at 390 368
        sleep 2
        ;;
    auto-playlist-study)
        at 724 88 click 1
        at $generate click 1
        sleep 1
        at 823 294 click 1
        at 386 367 click 1
        sleep 2
        ;;
    auto-playlist-minimum)
        at $generate click 1
        sleep 1
        x windowsize "$WINDOW" 800 560
        sleep 1
        ;;
    auto-playlist-keys)
        # From Generate, Tab reaches the generated titles; the arrows ring the first card's second button.
        at $generate click 1
        sleep 1
        x key Tab Tab Tab Tab Tab Tab Right Right
        sleep 0.5
        ;;
    auto-playlist-year-keys)
        # Shift+Tab from Generate reaches the upper year handle; the arrows move it back five years.
        at $generate click 1
        sleep 1
        x key shift+Tab shift+Tab Left Left Left Left Left
        sleep 0.5
        ;;
    esac
    ;;
tile-focus)
    x mousemove $search_field click 1
    for _ in $(seq "${FOCUS_STEPS:-1}"); do x key shift+Tab; done
    sleep 0.5
    ;;
table-focus)
    x mousemove $search_field click 1
    for _ in $(seq 8); do x key Tab; done
    x key Down
    sleep 0.5
    ;;
header-focus)
    x mousemove $search_field click 1
    x key Down Tab Right Right Right space
    sleep 0.5
    ;;
extract-question)
    x mousemove $extract_tile click 1
    sleep 1
    ;;
web-focus)
    x mousemove $search_field click 1
    for _ in $(seq "${FOCUS_STEPS:-4}"); do x key Tab; done
    sleep 0.5
    ;;
alert-focus)
    # The question of Extract Bookmarks; Tab moves the focus from its first button to the second.
    x mousemove $extract_tile click 1
    sleep 1
    x key Tab
    sleep 0.5
    ;;
file-dialog)
    # A folder is chosen already: the question first, then New extraction opens the dialog.
    x mousemove $extract_tile click 1
    sleep 1
    x mousemove 678 443 click 1
    sleep 1.5
    ;;
recognition-token)
    # The token item is the settings menu's last.
    x mousemove $settings_gear click 1
    sleep 0.5
    x key Up Return
    sleep 1
    ;;
esac
if [ -n "$window_size" ]; then
    window_id="$(x search --onlyvisible --name "LYRAFOLD" | head -n 1)"
    x windowmove "$window_id" 0 0 windowsize "$window_id" "$window_width" "$window_height"
    sleep 1.5
    DISPLAY=":$display" import -window root -crop "${window_width}x${window_height}+0+0" +repage "$output"
    echo "$output"
    exit 0
fi
DISPLAY=":$display" import -window root "$output"
echo "$output"
