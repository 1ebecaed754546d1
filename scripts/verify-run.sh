#!/usr/bin/env bash
# Walks through the application as a musician does, with the mouse and the keyboard (xdotool), on a
# virtual display with a window manager (openbox), and says what became of the library, the slot files
# and the playlists; a picture of each step goes to the output folder. Every scene starts the real
# application on a fresh demo profile (Slot 1 current and holding the built-in list's songs) and ends it.
# Needs a build (make build) and the packages xvfb, openbox, xdotool, x11-utils, imagemagick and python3.
#
#   scripts/verify-run.sh OUTPUT_DIR SCENE...
#
# Scenes (each says what it saw; the pictures are named after the scene):
#   look              the main window as it starts
#   cell-edit         a genre typed into a cell without Return, then the Slot 2 tile: the value is saved
#   cell-reload       the same, then Slots > Reload Slot from Disk
#   cell-routes       the same, each time on a fresh start, then: Ctrl+Q; Lyrafold > Quit Lyrafold; the
#                     window's close button; SIGTERM; DEFAULT and Tools > Apply Bundled Metadata Only (on
#                     a slot whose other rows have no metadata yet); Tools > Edit Metadata for Selected
#                     Row… and its Save; Slots > Save Slot to Disk, then kill -9: the value in the file
#   rebuild-question  Slot 4 filled: another folder typed into the folder field, then its own folder with
#                     a trailing "/", Extract > Re-extract folder > Extract all; then New extraction with
#                     another folder: "Rebuild" only for its own folder, "Clear" otherwise
#   rebuild-imported  Slot 4 built from the demo books, two pictures imported into it through Custom Files,
#                     then Re-extract of its own folder: the question (cancelled), then Rebuild; the slot after
#                     (ROWS: slot 4 first made that large with more songs of its books)
#   rebuild-renamed   Slot 4 built from the demo books, two pictures imported into it through Custom Files and
#                     its first title renamed in the table, then Re-extract of its own folder: the question
#                     once the books are read (cancelled, then Rebuild); the rows the rebuild removed
#   rebuild-keys      Slot 4 built from a folder of BOOKS books (300) and 40 songs outside it: Re-extract > Extract
#                     all while "bossa nova" and Return are typed into the search field at a person's pace
#                     across the moment the question shows; then Return: the slot after each (LANGUAGE: tr, es)
#   rebuild-field     the same while "Cool Jazz" is typed into a genre field, the books read before its Return
#                     (PAUSE: 8 s), then "bossa nova" typed on: whether the question waited, and the slot
#   rebuild-sigterm   the same extraction, SIGTERM while its question is open: how the application ended, the slot
#   rebuild-twice     Slot 4 built from a book whose outline lists "Alpha" twice at page 1, each row with a
#                     genre of its own: Re-extract > Extract all, the question, Rebuild: the slot after
#                     (REBUILD_KEYS: the keys that press Rebuild, "shift+Tab Return")
#   import-typed      Custom Files > Import Images/PDFs of one picture, of three, of a PDF with an outline: "Blue
#                     Bossa" typed as each form opens, then Return; the titles and books imported (LANGUAGE)
#   clear-slot        in English and Turkish, Slot 4 named "Friday": Slots > Clear Current Slot…, then Slots >
#                     New Extraction (Clear Table)…, each question cancelled
#   search-switch     "waltz" typed and the Slot 1 tile clicked (then Reload) at once: every row shown
#   folder-switch     a switch to a slot without a folder: the folder field empty; Extract asks for one
#   folder-import     a picture imported into a slot without a folder: the folder field empty
#   autotag-offline   without a network, Auto-Tag All Bookmarks on 40 titles, then Auto-tag this row
#   preview           the playlists window, a title whose book only the current slot knows: its preview
#   received-open     the same title pressed: the viewer opens it from the slot's book, and how long after
#                     the press its window showed; SLOT_ROWS=N fills Slot 1 up to N rows of 300 other
#                     books first (a large slot), PRESS_AFTER the seconds between choosing the playlist
#                     and the press (1.5)
#   received-later    a received title whose book ("Late Book.pdf") is nowhere: pressed, what the status
#                     line says; then the book put into a subfolder of the slot's folder and the title pressed
#                     again in the same window: whether the viewer opens it (SLOT_ROWS as for received-open)
#   received-back     a received title whose book only the current slot knows, outside the slot's folder,
#                     while that book is away: pressed; then the book put back and the title pressed again in
#                     the same window: whether the viewer opens it (SLOT_ROWS as for received-open)
#   presentation      a title opened from the table, Edit, a stroke, Done, Fullscreen, a double click
#   scan-close        a title of a 600-dpi scan opened, zoomed with the wheel and closed while the zoom is
#                     rendered, then Quit; again zoomed and Quit with the viewer open; again zoomed and Ctrl+Q
#                     at once, while the zoom is rendered: how the application ended each time (APP may be a
#                     sanitizer build)
#   undo-book         a 600-page book with a stroke on every page: Clear book, then 620 clicks on Undo
#   viewer-save       the viewer's Share > PDF > Save to local disc: where it saved is said
#   lyf-damaged       started with a damaged playlist file
#   extract-summary   a folder with two unreadable books, one whose titles hold control characters and two
#                     whose names are not UTF-8; the status line's tool tip after
#   second-start      a second start while the first is stopped, then "Wait": the playlist comes once
#   long-runtime      a runtime folder of 120 characters; a start with another runtime folder
#   foreign-lock      a lock another computer left in the data folder, a start with a playlist file; then a
#                     second start with another runtime folder
#   linked-files      the playlists, Slot 1's file and the bookmark cache links into a sync folder (absolute,
#                     relative, a chain): a genre edited, a playlist file handed over, Quit; the links and
#                     the files they lead to
#   lock-rewritten    another computer writes over the lock in the data folder while the application runs
#                     (as a sync tool brings it); then Quit: whether the lock stays
#   picture-scan      600 dpi A4 colour scans as PNG and TIFF imported through Custom Files
#   picture-markers   a JPEG of 200,000 tiny APP2 markers in 3.6 MB (tests/data/hostile/mkjpegmarkers.py)
#                     imported through Custom Files: the time from Import to the refusal or the page
#   import-quit       120 photos (4032 x 3024 JPEGs), then 8 A4 scans at 600 dpi (PNG), imported through
#                     Custom Files, and Ctrl+Q two seconds into each import: the time from Ctrl+Q to the
#                     window's and the process's end
#   metadata-100mb    a 100 MB metadata CSV (made by tests/data/hostile/mkmeta.py, or the script
#                     METADATA_MAKER names) imported
#   empty-slot-restart  Slot 3 (no file) visited, Quit, start again: Slot 3 stays empty
#   copy-slot         Slots > Copy Slot to Another… to Slot 3, then to Slot 4, whose file cannot be written
#                     (a folder stands where it belongs): what the status line says each time
#   languages         the main window, the playlists window, the custom files window and the viewer in
#                     English, Turkish, Spanish; then one start switched live through the three languages
#                     with every window open (main, playlists, auto playlist, workshop, custom files), the
#                     selection buttons with no row and with two, the Edit button in edit mode, the help
#                     panel, the status line after the playlists window closes, and the viewer
#   keyboard          Tab through the main, playlists, auto playlist, workshop, custom files and viewer
#                     windows and the help panel, a picture after each press
#   statuses          the playlists window's missing book, then a switch to the slot that has it; an
#                     import in the workshop, then a switch; a failed import in the custom files window,
#                     then one in the workshop that succeeds; a book whose annotations cannot be read
#   dialog-landing    Tools > Edit Metadata for Selected Row… opened and typed into while a switch to Slot 2 (the
#                     same songs) is read on a large slot: the dialog, and the genre in both slots' files
#   quit-answers      the data folder on a filled 8 MB tmpfs, a genre typed, the app ended by QUITS (ctrl-q,
#                     close, sigterm, ctrl-q-escape, ctrl-q-close-box): the alert, how it was answered, the file
#   quit-settled      a settled slot of 1,000,000 songs (BOOKMARKS), Ctrl+Q three times: the time until the window
#                     is gone and until the process has ended (QUIT_LANDING=1: with a reload waiting for a
#                     field typed into; the genre in the file after)
#   word-landing      a long genre typed at a human pace into a cell (or the metadata dialog) while work on
#                     a large slot comes back half way through it, then Return: the slot's file after
#                     (WORD_LANDINGS: reload merge metadata bundled switch outside dialog-reload dialog-switch)
#   foreign-files     Slot 1's file written by Python's json.dump (defaults, and compact with ensure_ascii=False),
#                     escapes in every text, at 235, 20,000 and 200,000 rows (FOREIGN_SIZES): started on, one genre
#                     edited, Ctrl+Q: the fields of the file that changed
#   sizes             in Turkish and Spanish: the main window at its default and its minimum size, the
#                     custom files, playlists, auto playlist, workshop and viewer windows at their minimum
#   inplace-writer    ROUNDS (30) playlists named in the playlists window while a script in rsync --inplace's
#                     order (open, 0.2 s, truncate, write its own playlist) writes playlists.json: what the
#                     file holds of both sides, before and after Ctrl+Q, and what was kept beside it
#   unreadable-data   the data folder, the slots folder and the playlists file made unreadable in turn: what
#                     the start shows, how the program ends, whether it wrote anything
#   long-book-path    a book whose path is BOOK_PATH_BYTES (180) bytes long: a stroke drawn, the viewer closed;
#                     whether and under what name its annotations were written
#   quit-full         the data folder on an 8 MB tmpfs, then filled: a pen stroke in the viewer, a genre typed
#                     into a cell and Return, a switch to Slot 2, each save failing; Ctrl+Q: the alert; Cancel,
#                     room made, Ctrl+Q again: how it ended, and what the slot files, slots_meta.json and the
#                     book's annotation file hold (root, for the mount)
#   quit-menu-alert   the same full folder: a genre typed, the Lyrafold menu opened (the field's save fails
#                     and its alert opens), Quit Lyrafold: the alert; Cancel and room made, then a click on the
#                     Slot 2 tile, the Lyrafold menu, Ctrl+Q, and the close button if Ctrl+Q went unanswered
#   quit-outside      a genre typed, then, by a script at the moment of Ctrl+Q, slot_1.json removed, half
#                     written, rewritten with another change, or its lock taken by another process (then
#                     Cancel, the lock given up, Ctrl+Q; and the same with SIGTERM): the time until the
#                     window went and the alert showed or the process ended, and what the file holds
#   quit-after-edit   a genre typed and Return, Ctrl+Q 0.3 s later, ROUNDS times: the quit's time, the file
#   quit-large        a slot of BOOKMARKS rows (1,000,000 unless set): Ctrl+Q with nothing to save, the time
#                     until the window went and the process ended; then the data folder on a tmpfs too small
#                     for the slot's next save, a genre typed, Ctrl+Q: the time until the alert (root)
#
# BUILD_DIR picks another build folder, APP another program, APP_CPUS the processors it runs on (taskset's
# list: "0" for one, so that work on a large slot is in flight longer); DISPLAY_NUMBER the first display number
# tried (61); BOOKMARKS a slot of that many songs in place of the built-in list's. The clicks are at the
# places of the default layout on a 1600x900 screen.
set -euo pipefail

output="$1"
shift
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
app="${APP:-$build/src/app/lyrafold}"
testdata="$root/tests/data"
work="$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-verify-XXXXXX")"
mkdir -p "$output"

. "$root/scripts/virtual-display.sh"
FIRST_DISPLAY="${DISPLAY_NUMBER:-61}" start_screenshot_display 1600x900x24 "$work"
app_pid=""
mounted=()
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    for folder in "${mounted[@]}"; do umount "$folder" 2>/dev/null || umount -l "$folder" || true; done
    stop_screenshot_display
}
trap cleanup EXIT
export DISPLAY=":$display"
echo "display :$display"
x() { xdotool "$@"; }
shot() { import -window root "$output/$1.png" && echo "  picture: $output/$1.png"; }

# profile NAME [LANGUAGE]: a fresh demo profile; Slot 1 holds the built-in list's songs and is current.
profile() {
    prof="$work/$1"
    eval "$("$build/tools/demo-profile/lyrafold-demo-profile" --profile "$prof" --books "$build/demo/books" \
        ${BOOKMARKS:+--bookmarks "$BOOKMARKS"})" >/dev/null
    data="$XDG_DATA_HOME/Lyrafold"
    slots="$data/slots"
    mkdir -p "$prof/tmp" "$prof/runtime" "$XDG_CONFIG_HOME/Lyrafold"
    chmod 700 "$prof/runtime"
    cp "$slots/slot_0.json" "$slots/slot_1.json"
    printf '{"activeSlot":1,"slotNames":{}}' >"$slots/slots_meta.json"
    printf '[General]\nLyrafold.uiLanguage=%s\n' "${2:-en}" >"$XDG_CONFIG_HOME/Lyrafold/Lyrafold.conf"
}

# start [ARGS...]: the application on the profile, once its window has settled. OFFLINE=1: without a
# network (a network namespace of its own).
start() {
    rm -f "$prof/tmp/Lyrafold_launch.log"
    local wrap=()
    [ "${OFFLINE:-0}" = 1 ] && wrap=(unshare -rn)
    [ -n "${APP_CPUS:-}" ] && wrap=(taskset -c "$APP_CPUS" "${wrap[@]}")
    QT_QPA_PLATFORM=xcb TMPDIR="$prof/tmp" XDG_RUNTIME_DIR="${RUNTIME:-$prof/runtime}" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$prof/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$prof/no-bus" \
        PULSE_SERVER="unix:$prof/runtime/no-pulse" "${wrap[@]}" "$app" "$@" >>"$prof/app.log" 2>&1 &
    app_pid=$!
    for _ in $(seq 150); do
        grep -q "9 delayed orderFront done" "$prof/tmp/Lyrafold_launch.log" 2>/dev/null && break
        sleep 0.1
    done
    sleep 1.5
}

stop() {
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
}

# slot_rows SLOT KEY...: a summary of the slot file's rows (count, and the given field of the first row).
slot_rows() {
    python3 - "$slots/slot_$1.json" "${@:2}" <<'EOF'
import json, sys
d = json.load(open(sys.argv[1]))
rows = d["bookmarks"]
out = ["%d rows" % len(rows), "folder %r" % d.get("selectedFolder")]
for key in sys.argv[2:]:
    out.append("first %s %r" % (key, rows[0].get(key) if rows else None))
print(", ".join(out))
EOF
}

scene_look() {
    profile look
    start
    shot look-main
}

# Places in the window as laid out on this screen (the window is centred, 1380 by 640).
extract_tile="171 291"
slot1_tile="712 258"
slot2_tile="778 258"
slot4_tile="712 327"
playlists_tile="1428 292"
custom_files_tile="391 290"
workshop_tile="1097 290"
auto_playlist_tile="1316 290"
help_button="1463 182"
gear_button="1423 192"
second_title="330 501"
generate_button="342 347"
folder_field="1253 192"
search_field="440 410"
edit_button="778 410"
status_line="600 754"
first_genre_cell="527 477"
first_title_cell="300 477"
slots_menu="196 146"
tools_menu="241 146"
create_playlist_button="425 720"

# type_into_cell TEXT: Edit, a click on the first row's genre cell, TEXT typed at its end; no Return.
type_into_cell() {
    x mousemove $edit_button click 1
    sleep 0.5
    x mousemove $first_genre_cell click 1
    sleep 0.8
    x key End
    x type --delay 30 "$1"
    sleep 0.3
}

scene_cell_edit() {
    profile cell-edit
    start
    echo "  before: $(slot_rows 1 genre)"
    type_into_cell " Bebop"
    shot cell-edit-1-typed
    x mousemove $slot2_tile click 1
    sleep 2
    shot cell-edit-2-slot2
    echo "  after the Slot 2 tile: $(slot_rows 1 genre)"
    x mousemove $slot1_tile click 1
    sleep 2
    shot cell-edit-3-back
}

scene_cell_reload() {
    profile cell-reload
    start
    type_into_cell " Cool"
    x mousemove $slots_menu click 1
    sleep 0.7
    shot cell-reload-1-menu
    x mousemove 269 189 click 1
    sleep 2
    shot cell-reload-2-reloaded
    echo "  after Reload Slot from Disk: $(slot_rows 1 genre)"
}

# ended: whether the application ended within 10 s.
ended() {
    for _ in $(seq 50); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$app_pid" 2>/dev/null; then
        echo "still running"
    else
        wait "$app_pid" 2>/dev/null || true
        app_pid=""
        echo "ended"
    fi
}

# fresh_slot: the first row a title without built-in metadata, the others without metadata, as a slot
# freshly extracted: DEFAULT and Apply Bundled Metadata Only change them, not the first.
fresh_slot() {
    python3 - "$slots/slot_1.json" <<'EOF'
import json, sys
d = json.load(open(sys.argv[1]))
for r in d["bookmarks"]:
    for key in ("genre", "style", "firstReleaseYear", "composer", "tempo", "rating"):
        r.pop(key, None)
d["bookmarks"][0]["title"] = "A Tune of My Own"
json.dump(d, open(sys.argv[1], "w"))
EOF
}

# A genre typed into the first row's cell without Return, then each way out of the field in turn, on a
# fresh start: what the slot's file holds then.
scene_cell_routes() {
    local route
    for route in ctrl-q quit-item close-button sigterm default bundled edit-dialog save; do
        profile "cell-$route"
        case "$route" in default | bundled) fresh_slot ;; esac
        start
        type_into_cell " Bebop"
        case "$route" in
        ctrl-q) x key ctrl+q ;;
        quit-item)
            x mousemove 143 146 click 1
            sleep 0.7
            x mousemove 198 167 click 1
            ;;
        close-button) x mousemove 1479 127 click 1 ;;
        sigterm) kill -TERM "$app_pid" ;;
        default) x mousemove 501 337 click 1 ;;
        bundled)
            x mousemove $tools_menu click 1
            sleep 0.7
            x mousemove 325 257 click 1
            ;;
        edit-dialog)
            x mousemove $tools_menu click 1
            sleep 0.7
            x mousemove 325 167 click 1
            sleep 1.5
            shot "cell-routes-$route-1-dialog"
            x key Return
            ;;
        save)
            x mousemove $slots_menu click 1
            sleep 0.7
            x mousemove 256 167 click 1
            sleep 1
            shot "cell-routes-$route-1-saved"
            echo "  $route: said \"saved\"; the file then: $(slot_rows 1 genre)"
            kill -9 "$app_pid"
            ;;
        esac
        case "$route" in
        ctrl-q | quit-item | close-button | sigterm) echo "  $route: the application $(ended); $(slot_rows 1 genre)" ;;
        save) echo "  $route: after kill -9: $(slot_rows 1 genre)" ;;
        *)
            sleep 3
            shot "cell-routes-$route-2-after"
            echo "  $route: $(slot_rows 1 genre title); second row: $(second_genre)"
            ;;
        esac
        stop
    done
}

second_genre() {
    python3 -c 'import json, sys; print("genre %r" % json.load(open(sys.argv[1]))["bookmarks"][1].get("genre"))' \
        "$slots/slot_1.json"
}

# reextract_question NAME: Extract > Re-extract folder > the current slot > Extract all, and the question
# before the slot's songs are replaced, which is then cancelled.
reextract_question() {
    x mousemove $extract_tile click 1
    sleep 1
    shot "$1-0-extract"
    x mousemove 818 470 click 1
    sleep 1
    x key Return # the slot prompt: the current slot
    sleep 1.5
    x key Return # "Extract all PDFs"
    sleep 2
    shot "$1"
    x key Escape
    sleep 0.5
}

# folder_field_text TEXT: TEXT typed into the folder field, then Return.
folder_field_text() {
    x mousemove $folder_field click 1
    x key ctrl+a
    x type --delay 10 "$1"
    x key Return
    sleep 0.7
}

scene_rebuild_question() {
    profile rebuild-question
    cp "$slots/slot_1.json" "$slots/slot_4.json"
    printf '{"activeSlot":4,"slotNames":{}}' >"$slots/slots_meta.json"
    start
    echo "  slot 4 before: $(slot_rows 4)"
    folder_field_text "$testdata/books"
    reextract_question rebuild-question-1-other-folder
    folder_field_text "$build/demo/books/"
    reextract_question rebuild-question-2-own-folder-slash
    # New extraction with another folder, chosen in the folder panel.
    x mousemove $extract_tile click 1
    sleep 1
    x key Return # "New extraction"
    sleep 1.5
    x key ctrl+a
    x type --delay 10 "$testdata/books"
    x key Return
    sleep 1.5
    x key Return # the slot prompt: Slot 4
    sleep 2
    shot rebuild-question-3-new-extraction
    x key Escape
    sleep 1
    echo "  slot 4 after the questions were cancelled: $(slot_rows 4)"
}

# import_picture FILE: FILE imported through Custom Files > "Import Images/PDFs" into the current slot.
import_picture() {
    x mousemove 391 290 click 1
    sleep 1.5
    x mousemove 876 701 click 1
    sleep 1.5
    x type --delay 5 "$1"
    x key Return
    sleep 1.5
    x key Return
    sleep 4
    # The page the import opens, and the custom files window.
    close_windows '\.pdf$'
    close_windows '^Custom Files'
}

# books_outside SLOT: the slot's rows whose book is not in the slot's folder, by book.
books_outside() {
    python3 - "$slots/slot_$1.json" <<'EOF'
import collections, json, os, sys
d = json.load(open(sys.argv[1]))
folder = os.path.realpath(d.get("selectedFolder") or "/nowhere")
out = collections.Counter(os.path.basename(r.get("pdfFilePath", "")) for r in d["bookmarks"]
                          if not os.path.realpath(r.get("pdfFilePath", "")).startswith(folder + "/"))
print(sum(out.values()), dict(out))
EOF
}

# slot4_with_two_pictures: the application started on Slot 4 (its file made by the caller), then two
# pictures ("Lead sheet A" and "B", made here) imported into it through Custom Files.
slot4_with_two_pictures() {
    printf '{"activeSlot":4,"slotNames":{}}' >"$slots/slots_meta.json"
    mkdir -p "$HOME/Documents"
    for name in "Lead sheet A" "Lead sheet B"; do
        convert -size 600x800 xc:white -pointsize 48 -annotate +60+400 "$name" "$HOME/Documents/$name.png"
    done
    start
    import_picture "$HOME/Documents/Lead sheet A.png"
    import_picture "$HOME/Documents/Lead sheet B.png"
}

scene_rebuild_imported() {
    profile rebuild-imported
    cp "$slots/slot_1.json" "$slots/slot_4.json"
    # ROWS: slot 4 made that large with more songs of the folder's books.
    [ -n "${ROWS:-}" ] && python3 - "$slots/slot_4.json" "$ROWS" <<'EOF'
import json, sys
d = json.load(open(sys.argv[1]))
rows, n = d["bookmarks"], int(sys.argv[2])
d["bookmarks"] = [dict(rows[i % len(rows)], title="%s %d" % (rows[i % len(rows)]["title"], i)) for i in range(n)]
json.dump(d, open(sys.argv[1], "w"))
EOF
    echo "  slot 4 before: $(slot_rows 4)"
    slot4_with_two_pictures
    shot rebuild-imported-1-imported
    echo "  slot 4 with the imports: $(slot_rows 4); books outside its folder: $(books_outside 4)"
    reextract_question rebuild-imported-2-question
    x mousemove $extract_tile click 1
    sleep 1
    x mousemove 818 470 click 1
    sleep 1
    x key Return # the slot prompt: the current slot
    sleep 1.5
    x key Return # "Extract all PDFs"
    sleep 2
    x key shift+Tab Return # "Rebuild" (Cancel is the default)
    sleep 5
    shot rebuild-imported-3-rebuilt
    echo "  slot 4 after Rebuild: $(slot_rows 4); books outside its folder: $(books_outside 4)"
}

# gone_rows BEFORE AFTER: the rows of the slot file BEFORE whose path, page and title the slot file AFTER
# lacks (the key a title's metadata is carried by), with their titles.
gone_rows() {
    python3 - "$1" "$2" <<'EOF'
import json, sys
def rows(path):
    return json.load(open(path))["bookmarks"]
def key(r):
    return (r.get("pdfFilePath", ""), r.get("pageNumber"), r.get("title", "").casefold())
after = {key(r) for r in rows(sys.argv[2])}
gone = [r.get("title") for r in rows(sys.argv[1]) if key(r) not in after]
print(len(gone), gone)
EOF
}

scene_rebuild_renamed() {
    profile rebuild-renamed
    cp "$slots/slot_1.json" "$slots/slot_4.json"
    slot4_with_two_pictures
    # The first title renamed in its cell.
    x mousemove $edit_button click 1
    sleep 0.5
    x mousemove $first_title_cell click 1
    sleep 0.8
    x key End
    x type --delay 30 " (slow)"
    x key Return
    sleep 1
    x mousemove $edit_button click 1
    sleep 1
    shot rebuild-renamed-1-renamed
    echo "  slot 4 before: $(slot_rows 4 title)"
    cp "$slots/slot_4.json" "$work/rebuild-renamed-before.json"
    reextract_question rebuild-renamed-2-question
    sleep 1
    shot rebuild-renamed-3-cancelled
    echo "  after Cancel: $(slot_rows 4 title); rows gone: $(gone_rows "$work/rebuild-renamed-before.json" "$slots/slot_4.json")"
    x mousemove $extract_tile click 1
    sleep 1
    x mousemove 818 470 click 1
    sleep 1
    x key Return # the slot prompt: the current slot
    sleep 1.5
    x key Return # "Extract all PDFs"
    sleep 2
    shot rebuild-renamed-4-asked-again
    x key shift+Tab Return # "Rebuild" (Cancel is the default)
    sleep 5
    shot rebuild-renamed-5-rebuilt
    echo "  after Rebuild: $(slot_rows 4 title); rows gone: $(gone_rows "$work/rebuild-renamed-before.json" "$slots/slot_4.json")"
}

# many_books N: the folder $many with N books (copies of the three small demo books, "001 <name>"...) and
# Slot 4 built from it, current: their songs with genre "Jazz", then 40 songs whose book lies outside the
# folder (genre "Folk"), which a rebuild removes.
many_books() {
    many="$work/Many Fakebooks"
    mkdir -p "$many"
    python3 - "$slots/slot_1.json" "$slots/slot_4.json" "$build/demo/books" "$many" "$1" <<'EOF'
import json, os, shutil, sys
source, target, demo, folder, count = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
d = json.load(open(source))
rows = d["bookmarks"]
books = sorted({r["pdfFileName"] for r in rows} - {"sftpd.pdf"})
out = []
for i in range(count):
    book = books[i % len(books)]
    name = "%03d %s" % (i + 1, book)
    shutil.copyfile(os.path.join(demo, book), os.path.join(folder, name))
    out += [dict(r, pdfFileName=name, pdfFilePath=os.path.join(folder, name), genre="Jazz")
            for r in rows if r["pdfFileName"] == book]
d["bookmarks"] = out + [dict(r, genre="Folk") for r in rows if r["pdfFileName"] == "sftpd.pdf"][:40]
d["selectedFolder"] = folder
json.dump(d, open(target, "w"))
EOF
    printf '{"activeSlot":4,"slotNames":{}}' >"$slots/slots_meta.json"
}

# human_keys KEY...: each key (xdotool's names: "space", "Return") a person's pause (0.1 to 0.3 s) after
# the last.
human_keys() {
    local key
    for key in "$@"; do
        sleep "$(printf '0.%02d' $((10 + RANDOM % 21)))"
        x key "$key"
    done
}

# re_extract_all: Extract > Re-extract folder > the current slot > Extract all PDFs.
re_extract_all() {
    x mousemove $extract_tile click 1
    sleep 1
    x mousemove 818 470 click 1
    sleep 1
    x key Return
    sleep 1.5
    x key Return
}

# main_window: the main window's id.
main_window() {
    x search --onlyvisible --pid "$app_pid" --name 'LYRAFOLD' | head -1
}

# question_shown MAIN: whether a window other than MAIN (the main window) is the active one.
question_shown() {
    [ "$(x getactivewindow 2>/dev/null)" != "$1" ]
}

# keys_across_question NAME KEY...: the keys typed at a person's pace, over and over, until a question
# shows (60 s at most), then Space, Return, a letter and Space as the typing goes on, each said with the
# time since the question showed (its window made active, watched every 20 ms); a picture of the screen
# after each key with KEY_SHOTS=1, and one at the end.
keys_across_question() {
    local name="$1" main key started shown="$work/$1-shown" watcher
    shift
    main=$(main_window)
    rm -f "$shown"
    (while ! question_shown "$main"; do sleep 0.02; done; date +%s%N >"$shown") &
    watcher=$!
    started=$(date +%s%N)
    while [ ! -s "$shown" ] && [ $((($(date +%s%N) - started) / 1000000000)) -lt 60 ]; do
        for key in "$@"; do
            [ -s "$shown" ] && break
            human_keys "$key"
            echo "    typed $key"
            [ -n "${KEY_SHOTS:-}" ] && shot "$name-key-$(date +%s%N)"
        done
    done
    if [ ! -s "$shown" ]; then
        kill "$watcher" 2>/dev/null
        echo "  no question within 60 s"
        return
    fi
    echo "  a question showed $((($(cat "$shown") - started) / 1000000)) ms after the typing began"
    for key in space Return n space; do
        human_keys "$key"
        echo "    typed $key, $((($(date +%s%N) - $(cat "$shown")) / 1000000)) ms after it showed"
        [ -n "${KEY_SHOTS:-}" ] && shot "$name-key-$(date +%s%N)"
    done
    sleep 0.2
    shot "$name"
    if question_shown "$main"; then echo "  then: the question is open"; else echo "  then: no question is open"; fi
}

# A full extraction of the slot's own folder of BOOKS books (300) while "bossa nova" and Return are typed
# into the search field at a person's pace, across the moment the Rebuild question shows; then, once a
# second has passed, Return. What the slot's file holds after each.
scene_rebuild_keys() {
    profile rebuild-keys "${LANGUAGE:-en}"
    many_books "${BOOKS:-300}"
    start
    wait_for_rows
    cp "$slots/slot_4.json" "$work/rebuild-keys-before.json"
    echo "  slot 4 before: $(slot_rows 4 genre)"
    re_extract_all
    sleep 0.3
    x mousemove $search_field click 1
    keys_across_question rebuild-keys-1-typed b o s s a space n o v a Return
    sleep 2
    echo "  slot 4 then: $(slot_rows 4 genre); rows gone: $(gone_rows "$work/rebuild-keys-before.json" "$slots/slot_4.json")"
    x key Return
    sleep 2
    shot rebuild-keys-2-return
    echo "  after Return, a second on: $(slot_rows 4 genre); rows gone: $(gone_rows "$work/rebuild-keys-before.json" "$slots/slot_4.json")"
}

# The same run while "Cool Jazz" is typed into the first row's genre field, slowly enough that the books
# are read before the field closes (PAUSE seconds between the words, 8), then Return and "bossa nova"
# typed on: whether the question waited for the field, what the Return and the keys after it did, and
# the genre in the slot's file.
scene_rebuild_field() {
    local title main
    profile rebuild-field "${LANGUAGE:-en}"
    many_books "${BOOKS:-300}"
    title="$(row_title 4 0)"
    start
    wait_for_rows
    cp "$slots/slot_4.json" "$work/rebuild-field-before.json"
    echo "  slot 4 before: $(slot_rows 4 genre); \"$title\" genre $(row_genre 4 "$title")"
    x mousemove $edit_button click 1
    sleep 0.5
    re_extract_all
    x mousemove $first_genre_cell click 1
    sleep 0.6
    main=$(main_window)
    x key ctrl+a
    human_keys C o o l
    sleep "${PAUSE:-8}"
    if question_shown "$main"; then echo "  the books read, the field open: a question is open"; else
        echo "  the books read, the field open: no question"; fi
    shot rebuild-field-1-field-open
    human_keys space J a z z Return
    keys_across_question rebuild-field-2-after-return b o s s a space n o v a
    sleep 2
    echo "  slot 4 then: $(slot_rows 4 genre); rows gone: $(gone_rows "$work/rebuild-field-before.json" "$slots/slot_4.json"); \"$title\" genre $(row_genre 4 "$title")"
    x key Escape
    sleep 2
    shot rebuild-field-3-escape
    echo "  after Escape: $(slot_rows 4 genre); \"$title\" genre $(row_genre 4 "$title")"
}

# import_typed NAME FORM PATHS...: Custom Files > Import Images/PDFs, the files typed into the panel; once the
# form FORM (its window's name) shows, "Blue Bossa" typed at a person's pace at once, then Return: a picture
# of the form as it opened and as typed into, and the slot's last rows then.
import_typed() {
    local name="$1" form="$2" names="" path
    shift 2
    for path in "$@"; do names="$names \"$(basename "$path")\""; done
    x mousemove $custom_files_tile click 1
    sleep 1.5
    x mousemove 876 701 click 1
    sleep 1.5
    x type --delay 5 "$(dirname "$1")"
    x key Return
    sleep 0.5
    x type --delay 5 "${names# }"
    x key Return
    for _ in $(seq 100); do
        x search --onlyvisible --name "$form" >/dev/null 2>&1 && break
        sleep 0.2
    done
    if ! x search --onlyvisible --name "$form" >/dev/null 2>&1; then
        shot "$name-no-form"
        echo "  $name: the form \"$form\" did not show"
        return
    fi
    sleep 0.3
    shot "$name-1-opened"
    human_keys B l u e space B o s s a
    shot "$name-2-typed"
    human_keys Return
    sleep 4
    close_windows '\.pdf$'
    close_windows '^Custom Files'
    python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["bookmarks"]; print("  %s: slot 1 holds %d rows; the last: %s" % (sys.argv[2], len(r), [(b["title"], b["pdfFileName"]) for b in r[-int(sys.argv[3]):]]))' \
        "$slots/slot_1.json" "$name" "$(($# < 2 ? 1 : $#))"
}

# In LANGUAGE (en), each import form typed into at once as it opens: one picture (its title), three
# pictures (their book's name), a PDF with an outline (the book's name).
scene_import_typed() {
    local language="${LANGUAGE:-en}"
    profile "import-typed-$language" "$language"
    mkdir -p "$HOME/Documents/Scans"
    for n in 1 2 3; do
        convert -size 600x800 xc:white -pointsize 48 -annotate +60+400 "Lead sheet $n" "$HOME/Documents/Scans/Lead sheet $n.png"
    done
    cp "$build/demo/books/Folk Tunes Sampler (Demo).pdf" "$HOME/Documents/Scans/Sampler.pdf"
    start
    wait_for_rows
    import_typed "import-typed-$language-one" "Import Images or PDFs" "$HOME/Documents/Scans/Lead sheet 1.png"
    import_typed "import-typed-$language-three" "Import Images or PDFs" \
        "$HOME/Documents/Scans/Lead sheet 1.png" "$HOME/Documents/Scans/Lead sheet 2.png" \
        "$HOME/Documents/Scans/Lead sheet 3.png"
    import_typed "import-typed-$language-outline" "Import PDF with existing bookmarks" "$HOME/Documents/Scans/Sampler.pdf"
}

# A book whose outline lists "Alpha" twice at page 1 and "Beta" at page 2, and Slot 4 built from its folder
# (the three rows, each with its own genre): Re-extract > Extract all, the question, then Rebuild; the
# slot after.
scene_rebuild_twice() {
    local folder
    profile rebuild-twice
    folder="$work/Twice"
    mkdir -p "$folder"
    python3 - "$folder/Twice.pdf" "$slots/slot_4.json" "$slots/slot_1.json" <<'EOF'
import json, sys
objs = []
def add(s):
    objs.append(s)
    return len(objs)
catalog, pages, outlines = add(None), add(None), add(None)
content = add("<< /Length 42 >>\nstream\nBT /F1 24 Tf 72 700 Td (Lead sheet) Tj ET\nendstream")
font = add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
p1, p2 = add(None), add(None)
items = [("Alpha", p1), ("Alpha", p1), ("Beta", p2)]
ids = [add(None) for _ in items]
objs[catalog - 1] = "<< /Type /Catalog /Pages %d 0 R /Outlines %d 0 R >>" % (pages, outlines)
objs[pages - 1] = "<< /Type /Pages /Kids [%d 0 R %d 0 R] /Count 2 >>" % (p1, p2)
for p in (p1, p2):
    objs[p - 1] = ("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                   "/Resources << /Font << /F1 %d 0 R >> >> >>" % (pages, content, font))
objs[outlines - 1] = "<< /Type /Outlines /First %d 0 R /Last %d 0 R /Count 3 >>" % (ids[0], ids[-1])
for i, (title, page) in enumerate(items):
    links = (" /Prev %d 0 R" % ids[i - 1] if i else "") + (" /Next %d 0 R" % ids[i + 1] if i < 2 else "")
    objs[ids[i] - 1] = "<< /Title (%s) /Parent %d 0 R /Dest [%d 0 R /Fit]%s >>" % (title, outlines, page, links)
out, offsets = b"%PDF-1.4\n", []
for i, o in enumerate(objs):
    offsets.append(len(out))
    out += ("%d 0 obj\n%s\nendobj\n" % (i + 1, o)).encode()
xref = len(out)
out += ("xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)).encode()
out += b"".join(("%010d 00000 n \n" % o).encode() for o in offsets)
out += ("trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, catalog, xref)).encode()
open(sys.argv[1], "wb").write(out)
d = json.load(open(sys.argv[3]))
row = lambda title, page, genre: dict(d["bookmarks"][0], pdfFileName="Twice.pdf", pdfFilePath=sys.argv[1],
                                      pageNumber=page, title=title, pageSpan=1, totalPages=2, genre=genre)
d["bookmarks"] = [row("Alpha", 1, "Swing"), row("Alpha", 1, "Waltz"), row("Beta", 2, "Folk")]
d["selectedFolder"] = sys.argv[1].rsplit("/", 1)[0]
json.dump(d, open(sys.argv[2], "w"))
EOF
    printf '{"activeSlot":4,"slotNames":{}}' >"$slots/slots_meta.json"
    start
    wait_for_rows
    echo "  slot 4 before: $(rows_and_genres 4)"
    re_extract_all
    sleep 2
    shot rebuild-twice-1-question
    # "Rebuild": Cancel is the default (REBUILD_KEYS=Return for a build where Rebuild was).
    x key ${REBUILD_KEYS:-shift+Tab Return}
    sleep 2
    shot rebuild-twice-2-rebuilt
    echo "  after Rebuild: $(rows_and_genres 4)"
}

# rows_and_genres SLOT: the slot file's rows as title, page and genre.
rows_and_genres() {
    python3 -c 'import json, sys; print([(r["title"], r["pageNumber"], r.get("genre")) for r in json.load(open(sys.argv[1]))["bookmarks"]])' \
        "$slots/slot_$1.json"
}

# Slot 4 built from a folder of BOOKS books (300): Re-extract > Extract all, and SIGTERM while the Rebuild
# question is open: how the application ended, and the slot's file.
scene_rebuild_sigterm() {
    local main
    profile rebuild-sigterm
    many_books "${BOOKS:-300}"
    start
    wait_for_rows
    cp "$slots/slot_4.json" "$work/rebuild-sigterm-before.json"
    main=$(main_window)
    re_extract_all
    for _ in $(seq 300); do question_shown "$main" && break; sleep 0.1; done
    sleep 0.5
    shot rebuild-sigterm-1-question
    local sent
    sent=$(now_ms)
    kill -TERM "$app_pid"
    echo "  SIGTERM with the question open: the application $(ended) ($(($(now_ms) - sent)) ms after the signal)"
    echo "  slot 4 after: $(slot_rows 4 genre); rows gone: $(gone_rows "$work/rebuild-sigterm-before.json" "$slots/slot_4.json")"
}

# slots_item N: the N-th item of the Slots menu, by keys.
slots_item() {
    x mousemove $slots_menu click 1
    sleep 0.7
    for _ in $(seq "$1"); do x key Down; done
    x key Return
    sleep 1.5
}

scene_clear_slot() {
    for language in en tr; do
        profile "clear-slot-$language" "$language"
        cp "$slots/slot_1.json" "$slots/slot_4.json"
        printf '{"activeSlot":4,"slotNames":{"4":"Friday"}}' >"$slots/slots_meta.json"
        start
        slots_item 5 # Clear Current Slot…
        shot "clear-slot-$language-1-clear"
        x key Escape
        sleep 0.5
        slots_item 6 # New Extraction (Clear Table)…
        shot "clear-slot-$language-2-new-extraction"
        x key Escape
        sleep 0.5
        echo "  $language: slot 4 after both questions were cancelled: $(slot_rows 4)"
        stop
    done
}

# without_folder FROM TO: slot TO holds slot FROM's rows and no folder.
without_folder() {
    python3 - "$slots/slot_$1.json" "$slots/slot_$2.json" <<'EOF'
import json, sys
d = json.load(open(sys.argv[1]))
d["selectedFolder"] = ""
json.dump(d, open(sys.argv[2], "w"))
EOF
}

scene_search_switch() {
    profile search-switch
    without_folder 1 2
    printf '{"activeSlot":2,"slotNames":{}}' >"$slots/slots_meta.json"
    start
    x mousemove $search_field click 1
    x type --delay 10 "waltz"
    x mousemove $slot1_tile click 1
    sleep 2
    shot search-switch-1-slot1
    x mousemove $search_field click 1
    x type --delay 10 "waltz"
    x mousemove $slots_menu click 1
    sleep 0.2
    x mousemove 269 189 click 1
    sleep 2
    shot search-switch-2-reload
}

scene_folder_switch() {
    profile folder-switch
    without_folder 1 3
    start
    shot folder-switch-1-slot1
    x mousemove 646 327 click 1
    sleep 2
    shot folder-switch-2-slot3
    x mousemove $extract_tile click 1
    sleep 1.5
    shot folder-switch-3-extract
    x key Escape
    sleep 0.5
    x key Escape
}

# forty_known_titles: Slot 1 holds 40 titles the built-in metadata knows, their metadata emptied.
forty_known_titles() {
    python3 - "$slots/slot_1.json" "$root/resources/Bundled/default_metadata.json" <<'EOF'
import json, sys
known = {r["Title"].strip().lower() for r in json.load(open(sys.argv[2])) if "Title" in r}
d = json.load(open(sys.argv[1]))
rows, seen = [], set()
for b in d["bookmarks"]:
    t = b["title"].strip().lower()
    if t in known and t not in seen and len(rows) < 40:
        seen.add(t)
        b = dict(b, genre="", style="", composer="", tempo="", spotifyURL="", youtubeURL="")
        b.pop("firstReleaseYear", None)
        b.pop("rating", None)
        rows.append(b)
d["bookmarks"] = rows
json.dump(d, open(sys.argv[1], "w"))
EOF
}

filled_genres() {
    python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["bookmarks"]; print("%d rows, %d with a genre" % (len(r), sum(1 for b in r if b.get("genre"))))' "$slots/slot_1.json"
}

# wait_for_save SINCE: waits (60 s at most) until Slot 1's file is newer than SINCE; prints the time taken.
wait_for_save() {
    for _ in $(seq 240); do
        [ "$(stat -c %Y "$slots/slot_1.json")" -gt "${1%.*}" ] && break
        sleep 0.25
    done
    python3 -c "print('%.1f s' % (float('$(stat -c %.3Y "$slots/slot_1.json")') - float('$1')))"
}

scene_autotag_offline() {
    profile autotag-offline
    forty_known_titles
    OFFLINE=1 start
    echo "  before: $(filled_genres)"
    x mousemove $tools_menu click 1
    sleep 0.7
    shot autotag-offline-0-menu
    x mousemove 325 213 click 1
    sleep 1
    shot autotag-offline-1-question
    sleep 1
    x key Return
    local t0
    t0="$(date +%s.%N)"
    echo "  the run until the slot was saved: $(wait_for_save "$t0")"
    sleep 1.5
    shot autotag-offline-2-all
    echo "  after: $(filled_genres)"
    # One row: its metadata emptied again, then "Auto-tag this row" from its menu.
    stop
    forty_known_titles
    OFFLINE=1 start
    x mousemove 360 477 click 3
    sleep 0.7
    shot autotag-offline-3-row-menu
    x mousemove 438 509 click 1
    sleep 3
    shot autotag-offline-4-row
    echo "  after Auto-tag this row: $(filled_genres)"
}

# moved_book: a copy of a demo book under a new name, known only to Slot 1 "Gig"; a playlist "Moved"
# whose titles name that book at a folder that no longer exists.
moved_book() {
    python3 - "$data" "$HOME" "$build/demo/books/Evening Standards (Demo).pdf" <<'EOF'
import json, os, shutil, sys
data, home, source = sys.argv[1:4]
books = os.path.join(home, "Gig Books")
os.makedirs(books, exist_ok=True)
book = os.path.join(books, "Gig Book.pdf")
shutil.copy(source, book)
d = json.load(open(os.path.join(data, "slots/slot_0.json")))
rows = [dict(b, pdfFileName="Gig Book.pdf", pdfFilePath=book) for b in d["bookmarks"]
        if b["pdfFileName"] == os.path.basename(source)]
json.dump({"selectedFolder": books, "savedAt": d["savedAt"], "bookmarks": rows},
          open(os.path.join(data, "slots/slot_1.json"), "w"))
json.dump({"activeSlot": 1, "slotNames": {"1": "Gig"}}, open(os.path.join(data, "slots/slots_meta.json"), "w"))
items = [dict(r, pdfFilePath="/old/laptop/Gig Book.pdf") for r in rows[:4]]
playlists = json.load(open(os.path.join(data, "playlists.json")))
json.dump([{"name": "Moved", "items": items}] + playlists, open(os.path.join(data, "playlists.json"), "w"))
print("  playlist Moved:", [r["title"] for r in items])
EOF
}

scene_preview() {
    profile preview
    moved_book
    start
    x mousemove $playlists_tile click 1
    sleep 2
    shot preview-1-window
    x mousemove 540 240 click 1
    sleep 1.5
    shot preview-2-titles
    x mousemove 840 330
    sleep 0.3
    x mousemove 854 313
    sleep 2.5
    shot preview-3-hover
}

# fill_slot SLOT ROWS: the slot's rows followed by others, of 300 books of the home folder (links to
# the slot's first book), up to ROWS rows.
fill_slot() {
    python3 - "$slots/slot_$1.json" "$2" "$HOME/Songbooks" <<'EOF'
import json, os, sys
path, count, folder = sys.argv[1], int(sys.argv[2]), sys.argv[3]
d = json.load(open(path))
rows = d["bookmarks"]
model = dict(rows[0])
os.makedirs(folder, exist_ok=True)
for n in range(300):
    link = os.path.join(folder, "Songbook %d.pdf" % n)
    if not os.path.lexists(link):
        os.symlink(model["pdfFilePath"], link)
for n in range(count - len(rows)):
    book = "Songbook %d.pdf" % (n % 300)
    rows.append(dict(model, title="Song %d" % n, pdfFileName=book, pdfFilePath=os.path.join(folder, book),
                     pageNumber=1 + n % 20))
json.dump(d, open(path, "w"))
EOF
}

# show_received_playlist: once the slot's rows are in (a large slot's arrive a while after the window), the playlists window, its first playlist chosen,
# then PRESS_AFTER seconds (1.5).
show_received_playlist() {
    [ -n "${SLOT_ROWS:-}" ] && sleep $((SLOT_ROWS / 50000))
    x mousemove $playlists_tile click 1
    sleep 2
    x mousemove 540 240 click 1
    sleep "${PRESS_AFTER:-1.5}"
}

# press_first_title NAME WHICH: the first title pressed; says how long after the press (WHICH names it)
# a viewer whose window name holds NAME showed.
press_first_title() {
    local t0 found=""
    t0="$(date +%s.%N)"
    x mousemove 860 245 click 1
    for _ in $(seq 600); do
        found="$(x search --onlyvisible --name "$1" 2>/dev/null | head -1)" && [ -n "$found" ] && break
        sleep 0.02
    done
    if [ -n "$found" ]; then
        echo "  the viewer showed $(python3 -c "print('%.2f' % ($(date +%s.%N) - $t0))") s after $2: $(x getwindowname "$found")"
    else
        echo "  no viewer showed within 12 s of $2"
    fi
    sleep 2
}

scene_received_open() {
    profile received-open
    moved_book
    [ -n "${SLOT_ROWS:-}" ] && fill_slot 1 "$SLOT_ROWS"
    echo "  slot 1: $(slot_rows 1)"
    start
    show_received_playlist
    shot received-open-1-titles
    press_first_title 'Gig Book' "the press"
    shot received-open-2-viewer
}

scene_received_later() {
    profile received-later
    moved_book
    [ -n "${SLOT_ROWS:-}" ] && fill_slot 1 "$SLOT_ROWS"
    python3 - "$data/playlists.json" <<'EOF'
import json, sys
d = json.load(open(sys.argv[1]))
d[0]["items"][0].update(pdfFileName="Late Book.pdf", pdfFilePath="/old/laptop/Late Book.pdf")
json.dump(d, open(sys.argv[1], "w"))
EOF
    echo "  slot 1: $(slot_rows 1)"
    start
    show_received_playlist
    x mousemove 860 245 click 1
    sleep 2
    shot received-later-1-missing
    echo "  viewers after the first press: $(x search --onlyvisible --name 'Late Book' 2>/dev/null | wc -l)"
    mkdir -p "$HOME/Gig Books/later"
    cp "$HOME/Gig Books/Gig Book.pdf" "$HOME/Gig Books/later/Late Book.pdf"
    press_first_title 'Late Book' "the second press"
    shot received-later-2-after
}

scene_received_back() {
    profile received-back
    moved_book
    [ -n "${SLOT_ROWS:-}" ] && fill_slot 1 "$SLOT_ROWS"
    python3 - "$slots/slot_1.json" "$HOME/Elsewhere" <<'EOF'
import json, sys
d = json.load(open(sys.argv[1]))
d["selectedFolder"] = sys.argv[2]
json.dump(d, open(sys.argv[1], "w"))
EOF
    mkdir -p "$HOME/Elsewhere" "$HOME/Away"
    mv "$HOME/Gig Books/Gig Book.pdf" "$HOME/Away/"
    echo "  slot 1: $(slot_rows 1)"
    start
    show_received_playlist
    x mousemove 860 245 click 1
    sleep 2
    shot received-back-1-away
    echo "  viewers after the first press: $(x search --onlyvisible --name 'Gig Book' 2>/dev/null | wc -l)"
    mv "$HOME/Away/Gig Book.pdf" "$HOME/Gig Books/"
    press_first_title 'Gig Book' "the second press"
    shot received-back-2-after
}

# open_first_title: a click on the first row's title opens it in the viewer; sets viewer (its window).
open_first_title() {
    x mousemove 330 477 click 1
    viewer=""
    for _ in $(seq 50); do
        viewer="$(x search --onlyvisible --name '\.pdf' 2>/dev/null | head -1)" && [ -n "$viewer" ] && break
        sleep 0.2
    done
    sleep 1.5
}

full_screen() {
    if xprop -id "$viewer" _NET_WM_STATE | grep -q FULLSCREEN; then echo yes; else echo no; fi
}

scene_presentation() {
    profile presentation
    start
    open_first_title
    shot presentation-1-viewer
    x windowmove "$viewer" 20 40 windowsize "$viewer" 1560 840
    sleep 1.5
    shot presentation-2-wide
    x mousemove 1037 78 click 1
    sleep 0.8
    x mousemove 650 450 mousedown 1
    for step in $(seq 1 12); do x mousemove $((650 + step * 12)) $((450 + step * 3)); done
    x mousemove 794 486 mouseup 1
    sleep 0.5
    shot presentation-3-stroke
    x mousemove 1073 78 click 1
    sleep 0.8
    x mousemove 1208 78 click 1
    sleep 1.5
    shot presentation-4-full-screen
    echo "  full screen after Fullscreen: $(full_screen)"
    x mousemove 800 500 click --repeat 2 --delay 80 1
    sleep 1.5
    shot presentation-5-double-click
    echo "  full screen after the double click: $(full_screen)"
}

# scan_first: Slot 1 begins with a title of a 600-dpi scanned book.
scan_first() {
    python3 - "$slots/slot_1.json" "$testdata/scans/beethoven-sonata-19-op49-1.pdf" <<'EOF'
import json, os, sys
path, scan = sys.argv[1:3]
d = json.load(open(path))
rows = d["bookmarks"]
rows.insert(0, dict(rows[0], title="Aaa Sonata in G minor", pdfFileName=os.path.basename(scan),
                    pdfFilePath=scan, pageNumber=1, pageSpan=1))
json.dump(d, open(path, "w"))
EOF
}

# quit_and_tell NAME: the Quit item, then how the application ended; its logs go to the output folder.
quit_and_tell() {
    x mousemove 143 146 click 1
    sleep 0.7
    x mousemove 198 167 click 1
    tell_end "$1"
}

# tell_end NAME: how the application ended once it was asked to quit; its logs go to the output folder.
tell_end() {
    local status="" asked
    asked="$(date +%s.%N)"
    for _ in $(seq 100); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    wait "$app_pid" 2>/dev/null && status=0 || status=$?
    app_pid=""
    cp "$prof/app.log" "$output/$1-app.log"
    cp "$prof/tmp/Lyrafold_pdfview.log" "$output/$1-pdfview.log" 2>/dev/null || true
    echo "  after Quit: ended $(python3 -c "print('%.2f' % ($(date +%s.%N) - $asked))") s after; exit status $status; sanitizer reports: $(grep -c 'ERROR: \|LeakSanitizer' "$prof/app.log" || true)"
    rm -f "$prof/app.log"
}

# A viewer of the scan, zoomed in with the wheel and closed through the window manager 30 ms later, while
# the zoom is rendered; then Quit: how the application ended. Then the same viewer zoomed and, at once,
# Quit with the viewer open; then zoomed further and Ctrl+Q straight after, while the zoom is rendered.
scene_scan_close() {
    profile scan-close
    scan_first
    start
    open_first_title
    shot scan-close-1-viewer
    x mousemove 800 450 keydown ctrl click 4 click 4 keyup ctrl
    sleep 0.03
    x windowactivate --sync "$viewer" key alt+F4 2>/dev/null || true
    sleep 1
    shot scan-close-2-closed
    echo "  viewers left: $(x search --onlyvisible --name '\.pdf' 2>/dev/null | wc -l)"
    quit_and_tell scan-close
    start
    open_first_title
    x mousemove 800 450 keydown ctrl click 4 click 4 keyup ctrl
    quit_and_tell scan-close-quit-open
    start
    open_first_title
    x mousemove 800 450 keydown ctrl click 4 click 4 click 4 click 4 keyup ctrl key ctrl+q
    tell_end scan-close-ctrl-q-at-once
}

# six_hundred_pages: Slot 1 holds one title of a 600-page book with a stroke on every page.
six_hundred_pages() {
    book="$HOME/Six hundred.pdf"
    local source="$build/demo/books/Lyrafold Demo Fakebook.pdf"
    local pages=()
    for _ in $(seq 15); do pages+=("$source" 1-40); done
    qpdf --empty --pages "${pages[@]}" -- "$book"
    annotations="$XDG_DATA_HOME/LyrafoldMac/PDFEditCache/$(printf '%s' "$book" | base64 -w0 | tr '+/' '-_' | tr -d '=').json"
    mkdir -p "$(dirname "$annotations")"
    python3 - "$slots/slot_1.json" "$book" "$annotations" <<'EOF'
import json, sys
slot, book, annotations = sys.argv[1:4]
d = json.load(open(slot))
row = dict(d["bookmarks"][0], pdfFileName="Six hundred.pdf", pdfFilePath=book, totalPages=600)
d["bookmarks"] = [row]
json.dump(d, open(slot, "w"))
stroke = {"points": [{"x": 100, "y": 400}, {"x": 300, "y": 420}], "color": {"red": 1, "green": 0, "blue": 0, "alpha": 1},
          "thickness": 3, "opacity": 1, "isHighlighter": False}
json.dump({"strokesByPage": {str(p): [stroke] for p in range(600)}, "textsByPage": {}}, open(annotations, "w"))
EOF
}

annotated_pages() {
    python3 -c 'import json,sys,os; f=sys.argv[1]; print(sum(1 for v in json.load(open(f))["strokesByPage"].values() if v) if os.path.exists(f) else 0)' "$annotations"
}

scene_undo_book() {
    profile undo-book
    six_hundred_pages
    start
    echo "  pages with a stroke at the start: $(annotated_pages)"
    open_first_title
    x windowmove "$viewer" 20 40 windowsize "$viewer" 1560 840
    sleep 1.5
    x mousemove 1037 78 click 1
    sleep 0.8
    x mousemove 1497 550 click 1
    sleep 0.8
    shot undo-book-1-question
    x key Return
    sleep 1.5
    echo "  pages with a stroke after Clear book: $(annotated_pages)"
    x mousemove 1237 550 click --repeat 620 --delay 15 1
    sleep 2
    shot undo-book-2-after-undos
    echo "  pages with a stroke after 620 clicks on Undo: $(annotated_pages)"
}

scene_lyf_damaged() {
    profile lyf-damaged
    printf '{"lyrafoldFile":"lyrafold_playlist_bundle","version":1,"playlists":[{"name":"Fri' >"$prof/Friday set.lyf"
    start "$prof/Friday set.lyf"
    sleep 1
    shot lyf-damaged-1-alert
    x key Return
    sleep 1
    shot lyf-damaged-2-after
}

# A folder of books for an extraction into the empty Slot 3: a good one, one without an outline, one whose
# outline titles hold control characters and a 100,000-character title, a half of a PDF and a text file.
scene_extract_summary() {
    profile extract-summary
    local folder="$prof/Gig books"
    mkdir -p "$folder"
    cp "$testdata/books/dusty-strings-tunebook.pdf" "$testdata/books/joplin-pineapple-rag.pdf" \
        "$testdata/hostile/hostile-titles.pdf" "$folder/"
    head -c 40000 "$testdata/books/dusty-strings-tunebook.pdf" >"$folder/Cut Off.pdf"
    printf 'not a book\n' >"$folder/Broken Gig.pdf"
    # Two books whose names are Latin-1, not UTF-8: left out, and named in the summary.
    cp "$testdata/books/joplin-pineapple-rag.pdf" "$folder/$(printf 'Caf\351 Songs.pdf')"
    cp "$testdata/books/joplin-pineapple-rag.pdf" "$folder/$(printf 'Se\361orita Tunes.pdf')"
    printf '{"selectedFolder":"","savedAt":0,"bookmarks":[]}' >"$slots/slot_3.json"
    rm -f "$data/bookmarks_cache.json"
    printf '{"activeSlot":3,"slotNames":{}}' >"$slots/slots_meta.json"
    start
    folder_field_text "$folder"
    x mousemove $extract_tile click 1
    sleep 1
    shot extract-summary-0-question
    x mousemove 818 470 click 1
    sleep 1
    x key Return # the slot prompt: Slot 3
    sleep 1.5
    x key Return # "Extract all PDFs"
    sleep 6
    shot extract-summary-1-done
    x mousemove $status_line
    sleep 2
    shot extract-summary-2-status-tool-tip
    python3 - "$slots/slot_3.json" <<'EOF'
import json, sys
rows = json.load(open(sys.argv[1]))["bookmarks"]
titles = [r["title"] for r in rows]
controls = sum(1 for t in titles for c in t if ord(c) < 32 or 127 <= ord(c) < 160)
print("  slot 3: %d rows, longest title %d characters, %d control characters in titles" % (
    len(rows), max(map(len, titles)), controls))
print("  hostile-titles.pdf rows:", [t[:40] for r, t in zip(rows, titles) if r["pdfFileName"] == "hostile-titles.pdf"])
EOF
}

# second_start [ARGS...]: another start of the application on the same profile, in the background;
# sets second_pid.
second_start() {
    QT_QPA_PLATFORM=xcb TMPDIR="$prof/tmp" XDG_RUNTIME_DIR="${RUNTIME:-$prof/runtime}" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$prof/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$prof/no-bus" \
        PULSE_SERVER="unix:$prof/runtime/no-pulse" "$app" "$@" >>"$prof/second.log" 2>&1 &
    second_pid=$!
}

playlist_names() {
    python3 -c 'import json,sys; print(" | ".join(p["name"] for p in json.load(open(sys.argv[1]))))' "$data/playlists.json"
}

running() { if kill -0 "$1" 2>/dev/null; then echo yes; else echo no; fi; }

friday_lyf() {
    printf '{"lyrafoldFile":"lyrafold_playlist_bundle","version":1,"exportedAt":"x","playlists":[{"name":"Friday","items":[{"title":"Ninth Street Shuffle"}]}]}' >"$prof/Friday.lyf"
}

end_second() {
    kill "$second_pid" 2>/dev/null || true
    wait "$second_pid" 2>/dev/null || true
}

scene_second_start() {
    profile second-start
    friday_lyf
    start
    kill -STOP "$app_pid"
    second_start "$prof/Friday.lyf"
    sleep 6
    shot second-start-1-not-answering
    kill -CONT "$app_pid"
    sleep 3
    local window
    window="$(x search --pid "$second_pid" | tail -1)"
    x windowactivate --sync "$window" 2>/dev/null || true
    sleep 0.5
    x key Return # "Wait"
    sleep 4
    shot second-start-2-after-wait
    echo "  playlists after Wait: $(playlist_names)"
    echo "  the second start still runs: $(running "$second_pid")"
    end_second
}

scene_long_runtime() {
    profile long-runtime
    friday_lyf
    local long="$prof/run-$(printf 'r%.0s' $(seq 120))"
    long="${long:0:120}"
    mkdir -p "$long"
    chmod 700 "$long"
    echo "  runtime folder: ${#long} characters"
    RUNTIME="$long" start
    RUNTIME="$long" second_start "$prof/Friday.lyf"
    sleep 6
    shot long-runtime-1-second-start
    echo "  playlists: $(playlist_names)"
    echo "  the second start still runs: $(running "$second_pid"); main windows: $(x search --onlyvisible --name '^LYRAFOLD \(beta\)$' | wc -l)"
    end_second
    # Another runtime folder, the same data: the second start must not become a second writer.
    mkdir -p "$prof/other-runtime"
    chmod 700 "$prof/other-runtime"
    RUNTIME="$prof/other-runtime" second_start
    sleep 5
    shot long-runtime-2-other-runtime
    echo "  a start with another runtime folder still runs: $(running "$second_pid")"
    x key Return
    sleep 1
    echo "  after its alert was answered, it still runs: $(running "$second_pid")"
    end_second
}

scene_foreign_lock() {
    profile foreign-lock
    friday_lyf
    printf '4242\nlyrafold\nother-computer\n0123456789abcdef0123456789abcdef\nfedcba9876543210fedcba9876543210\n' \
        >"$data/instance.lock"
    start "$prof/Friday.lyf"
    sleep 3
    shot foreign-lock-1-start
    echo "  the start runs: $(running "$app_pid"); main windows: $(x search --onlyvisible --name '^LYRAFOLD \(beta\)$' | wc -l); playlists: $(playlist_names 2>/dev/null || echo none)"
    echo "  the lock now names: $(head -3 "$data/instance.lock" | tr '\n' ' ')(this computer: $(hostname), the start: $app_pid)"
    mkdir -p "$prof/other-runtime"
    chmod 700 "$prof/other-runtime"
    RUNTIME="$prof/other-runtime" second_start
    sleep 5
    shot foreign-lock-2-second-start
    echo "  a second start with another runtime folder still runs: $(running "$second_pid")"
    x key Return
    sleep 1
    echo "  after its alert was answered, it still runs: $(running "$second_pid")"
    end_second
}

# links LINK...: each link and what it says.
links() { for l in "$@"; do printf '%s -> %s; ' "${l#"$prof"/}" "$(readlink "$l" || echo '(not a link)')"; done; }

scene_linked_files() {
    profile linked-files
    local sync="$prof/Sync"
    mkdir -p "$sync/slots"
    [ -f "$data/playlists.json" ] && mv "$data/playlists.json" "$sync/playlists.json"
    ln -s "$sync/playlists.json" "$data/playlists.json"
    mv "$slots/slot_1.json" "$sync/slots/slot_1.json"
    ln -s "$(realpath --relative-to="$slots" "$sync/slots/slot_1.json")" "$slots/slot_1.json"
    # The cache through a chain of two links.
    mkdir -p "$sync/links"
    [ -f "$data/bookmarks_cache.json" ] && mv "$data/bookmarks_cache.json" "$sync/bookmarks_cache.json"
    ln -s ../bookmarks_cache.json "$sync/links/cache"
    ln -s "$sync/links/cache" "$data/bookmarks_cache.json"
    echo "  before: $(links "$data/playlists.json" "$slots/slot_1.json" "$data/bookmarks_cache.json")"
    friday_lyf
    start
    type_into_cell " Linked"
    x key Return
    sleep 1
    # Handed to the running window, which imports it.
    second_start "$prof/Friday.lyf"
    sleep 4
    shot linked-files-1-edited
    end_second
    quit
    echo "  after Quit: $(links "$data/playlists.json" "$slots/slot_1.json" "$data/bookmarks_cache.json")"
    echo "  the linked playlists: $(python3 -c 'import json,sys; print(" | ".join(p["name"] for p in json.load(open(sys.argv[1]))))' "$sync/playlists.json" 2>&1)"
    for file in "$sync/slots/slot_1.json" "$sync/bookmarks_cache.json"; do
        echo "  ${file#"$sync"/}, first genre: $(python3 -c 'import json,sys; print(repr(json.load(open(sys.argv[1]))["bookmarks"][0].get("genre")))' "$file")"
    done
    echo "  in the data folder: $(ls -A "$data" | tr '\n' ' ')"
    echo "  in the sync folder: $(ls -A "$sync" "$sync/slots" | tr '\n' ' ')"
}

# A 600 dpi A4 colour scan as PNG and as TIFF (4960 x 7016), each imported alone through Custom Files >
# "Import Images/PDFs": each must become a page.
scene_picture_scan() {
    profile picture-scan
    mkdir -p "$HOME/Documents"
    convert -size 4960x7016 gradient:khaki-steelblue -fill black -pointsize 300 -gravity center \
        -annotate 0 "A4 scan" "$HOME/Documents/A4 scan.png"
    convert "$HOME/Documents/A4 scan.png" -compress lzw "$HOME/Documents/A4 scan.tiff"
    identify "$HOME/Documents/A4 scan.png" "$HOME/Documents/A4 scan.tiff" | sed 's/^/  /'
    for kind in png tiff; do
        start
        x mousemove 391 290 click 1
        sleep 1.5
        x mousemove 876 701 click 1
        sleep 1.5
        x type --delay 5 "$HOME/Documents/A4 scan.$kind"
        x key Return
        sleep 1.5
        shot "picture-scan-$kind-1-form"
        x key Return
        sleep 12
        shot "picture-scan-$kind-2-imported"
        echo "  $kind: peak memory $(awk '/VmHWM/ { print $2 / 1024 " MB" }' /proc/$app_pid/status)"
        stop
    done
    python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["bookmarks"]; print("  slot 1: %d rows, the last: %s" % (len(r), [b["title"] for b in r[-2:]]))' "$slots/slot_1.json"
}

scene_viewer_save() {
    profile viewer-save
    start
    open_first_title
    x windowmove "$viewer" 20 40 windowsize "$viewer" 1560 840
    sleep 1.5
    x mousemove 1133 78 click 1
    sleep 1
    shot viewer-save-1-share
    x key Return # PDF
    sleep 2
    shot viewer-save-2-popup
    x mousemove 1051 190 click 1
    sleep 1.5
    shot viewer-save-3-dialog
    x key ctrl+a
    x type --delay 10 "$prof/Saved shuffle.pdf"
    x key Return
    sleep 3
    shot viewer-save-4-saved
    if [ -f "$prof/Saved shuffle.pdf" ]; then echo "  the file was written"; else echo "  no file"; fi
}

# A picture imported through Custom Files into Slot 3, which has no folder, while Slot 1's folder is
# shown: the field then shows the import's folder.
scene_folder_import() {
    profile folder-import
    without_folder 1 3
    mkdir -p "$HOME/Documents"
    convert -size 900x600 xc:khaki -gravity center -pointsize 48 -annotate 0 "Lead sheet" "$HOME/Documents/Lead sheet.png"
    start
    x mousemove 391 290 click 1
    sleep 1.5
    x mousemove 876 701 click 1
    sleep 1.5
    x type --delay 5 "$HOME/Documents/Lead sheet.png"
    x key Return
    sleep 1.5
    x mousemove 863 382 click 1
    sleep 0.7
    shot folder-import-1-slots
    x mousemove 682 427 click 1
    sleep 0.5
    x mousemove 943 563 click 1
    sleep 5
    for name in 'Lead sheet' 'Custom Files'; do
        for w in $(x search --onlyvisible --name "$name" 2>/dev/null); do x windowminimize "$w"; done
    done
    sleep 1
    shot folder-import-2-after
    echo "  slot 3 after the import: $(slot_rows 3)"
}

# The main window, the playlists window with a playlist open, a title card's hover and the viewer, in
# English, Turkish and Spanish; then Tab through the main window from the search field.
scene_languages() {
    for language in en tr es; do
        profile "languages-$language" "$language"
        start
        shot "languages-$language-1-main"
        x mousemove $playlists_tile click 1
        sleep 2
        x mousemove 540 240 click 1
        sleep 1.5
        shot "languages-$language-2-playlists"
        x key Escape
        close_windows 'Playlists'
        x mousemove 391 290 click 1
        sleep 1.5
        shot "languages-$language-2-custom-files"
        close_windows '^Custom Files$'
        open_first_title
        shot "languages-$language-3-viewer"
        x windowmove "$viewer" 20 40 windowsize "$viewer" 1560 840
        sleep 1.5
        x mousemove 1037 78 click 1
        sleep 1
        shot "languages-$language-4-viewer-edit"
        stop
    done
    languages_live
}

# window_named PATTERN: the application's shown window whose title matches.
window_named() { x search --all --onlyvisible --pid "$app_pid" --name "$1" 2>/dev/null | head -1; }

# open_window PLACE PATTERN: a click at PLACE in the main window, then the window whose title matches.
open_window() {
    x windowactivate --sync "$(window_named '^LYRAFOLD \(beta\)$')"
    x mousemove $1 click 1
    local found=""
    for _ in $(seq 50); do
        found="$(window_named "$2")" && [ -n "$found" ] && break
        sleep 0.2
    done
    sleep 1.5
    echo "$found"
}

# tab_walk NAME WINDOW COUNT: COUNT presses of Tab in WINDOW, a picture after each.
tab_walk() {
    x windowactivate --sync "$2"
    sleep 0.5
    for k in $(seq -w 1 "$3"); do
        x key Tab
        sleep 0.3
        shot "keyboard-$1-tab-$k"
    done
}

# Tab through each window (opened by a click, walked by the keys alone): a picture after each press.
scene_keyboard() {
    profile keyboard
    start
    x mousemove $search_field click 1
    for k in $(seq -w 1 30); do
        x key Tab
        sleep 0.25
        shot "keyboard-tab-$k"
    done
    x mousemove $help_button click 1
    sleep 1.5
    tab_walk help "$(window_named 'Help$')" 2
    x key Escape
    local window
    window="$(open_window "$playlists_tile" 'Playlists$')"
    tab_walk playlists "$window" 12
    close_windows 'Playlists$'
    window="$(open_window "$auto_playlist_tile" '^Auto-Playlist$')"
    x mousemove $generate_button click 1
    sleep 1.5
    tab_walk auto-playlist "$window" 28
    close_windows '^Auto-Playlist$'
    window="$(open_window "$workshop_tile" ' — ')"
    tab_walk workshop "$window" 24
    close_windows ' — '
    window="$(open_window "$custom_files_tile" '^Custom Files$')"
    tab_walk custom-files "$window" 7
    close_windows '^Custom Files$'
    open_first_title
    tab_walk viewer "$viewer" 16
}

# set_language INDEX: from the main window's settings button, Language, the INDEX-th language (0 English,
# 1 Turkish, 2 Spanish), switched while every window stays open.
set_language() {
    x windowactivate --sync "$(window_named '^LYRAFOLD \(beta\)$')"
    x mousemove $gear_button click 1
    sleep 0.8
    x key Down Right
    sleep 0.4
    for _ in $(seq "$1"); do x key Down; done
    x key Return
    sleep 2
}

# The live switch: one start, every window open, English, Turkish, Spanish in turn; in each, every window,
# the selection buttons with no row and with two selected, Edit, the help panel, the status line after
# the playlists window closes, and the viewer.
languages_live() {
    profile languages-live en
    start
    open_window "$playlists_tile" 'Playlists$' >/dev/null
    x mousemove 540 240 click 1
    open_window "$auto_playlist_tile" '^Auto-Playlist$' >/dev/null
    x mousemove $generate_button click 1
    open_window "$workshop_tile" ' — ' >/dev/null
    local index=0 main
    main="$(window_named '^LYRAFOLD \(beta\)$')"
    for language in en tr es; do
        set_language $index
        index=$((index + 1))
        local n=1
        for name in 'Playlists$' '^Auto-Playlist$' ' — ' '^LYRAFOLD \(beta\)$'; do
            x windowactivate --sync "$(window_named "$name")"
            sleep 0.8
            shot "languages-live-$language-$n-window"
            n=$((n + 1))
        done
        # It stays over the main window: opened in the language, then closed.
        open_window "$custom_files_tile" '^Custom Files$' >/dev/null
        shot "languages-live-$language-5-custom-files"
        close_windows '^Custom Files$'
        x mousemove $search_field click 1
        x key Down shift+Down
        sleep 0.8
        shot "languages-live-$language-6-two-selected"
        # Within the Edit button in every language, whether it reads "Edit" or "Editing: …".
        x mousemove 745 410 click 1
        sleep 0.8
        shot "languages-live-$language-7-editing"
        x mousemove 745 410 click 1
        sleep 0.8
        x keydown ctrl mousemove 330 477 click 1 sleep 0.8 mousemove $second_title click 1 keyup ctrl
        x mousemove 800 880
        sleep 0.8
        shot "languages-live-$language-7-none-selected"
        x mousemove $help_button click 1
        sleep 1.5
        shot "languages-live-$language-8-help"
        x key Escape
        close_windows 'Playlists$'
        shot "languages-live-$language-9-playlists-closed"
        x windowactivate --sync "$main"
        open_first_title
        shot "languages-live-$language-10-viewer"
        close_windows '\.pdf'
        open_window "$playlists_tile" 'Playlists$' >/dev/null
    done
}

# close_windows NAME: the shown windows whose title matches, closed through the window manager (Alt+F4) as
# a user closes them; xdotool's windowclose would destroy the X window under the application.
close_windows() {
    for w in $(x search --onlyvisible --name "$1" 2>/dev/null); do
        x windowactivate --sync "$w" key alt+F4 2>/dev/null || true
    done
    sleep 1
}

# The main window at its default and its minimum size and the custom files, playlists, auto playlist,
# workshop and viewer windows at their minimum, in Turkish and Spanish.
scene_sizes() {
    for language in tr es; do
        profile "sizes-$language" "$language"
        start
        local main
        main=$(x search --onlyvisible --pid "$app_pid" --name 'LYRAFOLD' | head -1)
        shot "sizes-$language-1-default"
        local n=2 window
        for pair in "$custom_files_tile|^Custom Files$" "$playlists_tile|Playlists$" \
            "$auto_playlist_tile|^Auto-Playlist$" "$workshop_tile| — "; do
            window="$(open_window "${pair%%|*}" "${pair#*|}")"
            [ "$n" = 4 ] && x mousemove $generate_button click 1
            x windowsize "$window" 100 100
            sleep 1.5
            shot "sizes-$language-$n-minimum"
            close_windows "${pair#*|}"
            n=$((n + 1))
        done
        x windowactivate --sync "$main"
        open_first_title
        x windowsize "$viewer" 100 100
        sleep 1.5
        shot "sizes-$language-6-viewer-minimum"
        close_windows '\.pdf'
        x windowsize "$main" 100 100
        sleep 1.5
        shot "sizes-$language-7-main-minimum"
        stop
    done
}

# picture_in_dialog FILE: the file typed into the open file dialog, then Return on the form and on an alert.
picture_in_dialog() {
    sleep 1.5
    x type --delay 5 "$1"
    x key Return
    sleep 1.5
    x key Return
    sleep 3
}

# Each status line at the moment it would tell what no longer holds, and the notice of a book whose
# annotations cannot be read.
scene_statuses() {
    profile statuses
    moved_book
    printf '{"activeSlot":2,"slotNames":{"1":"Gig"}}' >"$slots/slots_meta.json"
    mkdir -p "$HOME/in"
    convert -size 400x300 xc:khaki "$HOME/in/Scan.png"
    printf 'not a picture' >"$HOME/in/Broken.png"
    start
    local main playlists
    main="$(window_named '^LYRAFOLD \(beta\)$')"
    playlists="$(open_window "$playlists_tile" 'Playlists$')"
    x mousemove 540 240 click 1
    sleep 1
    x mousemove 854 313 click 1
    sleep 2
    shot statuses-1-book-not-found
    x windowactivate --sync "$main" mousemove $slot1_tile click 1
    sleep 2
    x windowactivate --sync "$playlists"
    sleep 1
    shot statuses-2-book-found
    close_windows 'Playlists$'
    open_window "$workshop_tile" ' — ' >/dev/null
    x mousemove 1255 130 click 1
    picture_in_dialog "$HOME/in/Scan.png"
    close_windows '\.pdf'
    x windowactivate --sync "$(window_named ' — ')"
    sleep 1
    shot statuses-3-workshop-imported
    x windowactivate --sync "$main" mousemove $slot2_tile click 1
    sleep 2
    x windowactivate --sync "$(window_named ' — ')"
    sleep 1
    shot statuses-4-workshop-after-switch
    close_windows ' — '
    local files
    files="$(open_window "$custom_files_tile" '^Custom Files$')"
    x mousemove 876 701 click 1
    picture_in_dialog "$HOME/in/Broken.png"
    x key Return
    sleep 1
    shot statuses-5-custom-files-failed
    # Out of the way of the main window's tiles, over which it stays.
    x windowmove "$files" 820 380
    sleep 1
    open_window "$workshop_tile" ' — ' >/dev/null
    x mousemove 1255 130 click 1
    picture_in_dialog "$HOME/in/Scan.png"
    close_windows '\.pdf'
    close_windows ' — '
    x windowactivate --sync "$(window_named '^Custom Files$')"
    sleep 1
    shot statuses-6-custom-files-after-import
    close_windows '^Custom Files$'
    python3 - "$XDG_DATA_HOME/LyrafoldMac/PDFEditCache" "$HOME/Gig Books/Gig Book.pdf" <<'EOF'
import base64, os, sys
folder, book = sys.argv[1:3]
os.makedirs(folder, exist_ok=True)
name = base64.urlsafe_b64encode(book.encode()).decode().rstrip("=") + ".json"
open(os.path.join(folder, name), "w").write('{"strokesByPage":')
EOF
    x windowactivate --sync "$main" mousemove $slot1_tile click 1
    sleep 2
    open_first_title
    sleep 1
    shot statuses-7-annotations-unreadable
}

memory() { awk '/VmHWM|VmRSS/ { printf "%s %d MB  ", $1, $2 / 1024 }' /proc/$app_pid/status; }

# A 100 MB metadata CSV whose every record matches a title of Slot 1 (METADATA_MAKER: a script that writes
# meta-100mb.csv for the slot file it is given; the kept hostile input by default), imported through
# Tools > Import Metadata File: the peak and resident memory.
scene_metadata_100mb() {
    profile metadata-100mb
    (cd "$prof" && python3 "${METADATA_MAKER:-$testdata/hostile/mkmeta.py}" "$slots/slot_1.json")
    ls -l "$prof/meta-100mb.csv" | awk '{ print "  file: " $5 " bytes" }'
    start
    sleep 2
    echo "  before: $(memory)"
    x mousemove $tools_menu click 1
    sleep 0.7
    x mousemove 356 189 click 1
    sleep 1.5
    x type --delay 5 "$prof/meta-100mb.csv"
    x key Return
    local t0
    t0="$(date +%s.%N)"
    for _ in $(seq 240); do
        [ -f "$slots/slot_1.json" ] && [ "$(stat -c %Y "$slots/slot_1.json")" -gt "${t0%.*}" ] && break
        sleep 0.25
    done
    sleep 3
    shot metadata-100mb-1-imported
    echo "  after the import: $(memory)"
}

# quit: Lyrafold > Quit Lyrafold, and the process's end.
quit() {
    x mousemove 143 146 click 1
    sleep 0.7
    x mousemove 198 167 click 1
    for _ in $(seq 50); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.2
    done
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
}

# Slot 3 (no file) visited from Slot 1, the application quit and started again.
scene_empty_slot_restart() {
    profile empty-slot-restart
    start
    x mousemove 646 327 click 1
    sleep 2
    shot empty-slot-restart-1-slot3
    quit
    echo "  after Quit: slot 3 file: $([ -f "$slots/slot_3.json" ] && slot_rows 3 || echo none); meta: $(cat "$slots/slots_meta.json")"
    start
    shot empty-slot-restart-2-started
    echo "  after the start: slot 3 file: $([ -f "$slots/slot_3.json" ] && slot_rows 3 || echo none)"
}

# copy_to SLOT: Slots > Copy Slot to Another…, the slot's number typed, Return.
copy_to() {
    x mousemove $slots_menu click 1
    sleep 0.7
    x mousemove 269 211 click 1
    sleep 1
    x type "$1"
    x key Return
    sleep 2
}

scene_copy_slot() {
    profile copy-slot
    start
    copy_to 3
    shot copy-slot-1-copied
    echo "  after the copy to Slot 3: $(slot_rows 3)"
    rm -f "$slots/slot_4.json"
    mkdir -p "$slots/slot_4.json/inside"
    copy_to 4
    shot copy-slot-2-unwritable
    echo "  after the copy to Slot 4: $([ -d "$slots/slot_4.json" ] && echo "a folder still stands there");" \
        "counts kept with the slot names: $(python3 -c 'import json,sys; print(json.load(open(sys.argv[1])).get("slotCounts"))' "$slots/slots_meta.json")"
}

# now_ms: the clock in milliseconds.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# import_files FOLDER NAME...: Custom Files > "Import Images/PDFs", the files of FOLDER chosen by name, and
# the form shown; Import is left to the caller (Return).
import_files() {
    x mousemove 391 290 click 1
    sleep 1.5
    x mousemove 876 701 click 1
    sleep 1.5
    x type --delay 5 "$1"
    x key Return
    sleep 1
    shift
    x type --delay 2 "$(printf '"%s" ' "$@")"
    x key Return
    sleep 1.5
}

scene_picture_markers() {
    profile picture-markers
    mkdir -p "$HOME/Documents"
    python3 "$testdata/hostile/mkjpegmarkers.py" 200000 "$HOME/Documents/markers.jpg"
    echo "  $(stat -c %s "$HOME/Documents/markers.jpg") bytes"
    start
    import_files "$HOME/Documents" markers.jpg
    local begin outcome=""
    begin="$(now_ms)"
    x key Return
    # The refusal comes as an alert ("Lyrafold"), an import as the page in a viewer.
    for _ in $(seq 6000); do
        case "$(x getactivewindow getwindowname 2>/dev/null)" in
        Lyrafold) outcome="refused" ;;
        *.pdf*) outcome="imported" ;;
        esac
        [ -n "$outcome" ] && break
        sleep 0.1
    done
    echo "  ${outcome:-nothing after 600 s} $(($(now_ms) - begin)) ms after Import; CPU time of the process: $(ps -o cputime= -p "$app_pid")"
    shot picture-markers-1-outcome
}

# quit_during_import FOLDER NAME...: the files imported, Ctrl+Q two seconds in; how long the window and
# the process took to end after it.
quit_during_import() {
    start
    local main
    main="$(window_named '^LYRAFOLD \(beta\)$')"
    import_files "$@"
    x key Return
    sleep 2
    shot "import-quit-$(basename "$1")-1-importing"
    local begin window_gone="" end=""
    x windowactivate --sync "$main" key ctrl+q
    begin="$(now_ms)"
    for _ in $(seq 6000); do
        [ -z "$window_gone" ] && [ -z "$(window_named '^LYRAFOLD \(beta\)$')" ] && window_gone="$(($(now_ms) - begin))"
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.05
    done
    end="$(($(now_ms) - begin))"
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
    echo "  $(basename "$1"): after Ctrl+Q the window went in ${window_gone:-?} ms, the process ended in $end ms;" \
        "PDFs in the import folder: $(find "$HOME/Documents/PDFs" -name '*.pdf' 2>/dev/null | wc -l)"
    rm -rf "$HOME/Documents/PDFs"
}

scene_import_quit() {
    profile import-quit
    local photos="$HOME/Documents/photos" scans="$HOME/Documents/scans" names=()
    mkdir -p "$photos" "$scans"
    for i in 1 2 3 4 5; do
        convert -size 4032x3024 "plasma:gold-navy" -seed "$i" -attenuate 0.3 +noise Gaussian -quality 92 \
            "$photos/source-$i.jpg"
    done
    for i in $(seq -w 1 120); do
        cp "$photos/source-$(((10#$i % 5) + 1)).jpg" "$photos/photo-$i.jpg"
        names+=("photo-$i.jpg")
    done
    rm -f "$photos"/source-*.jpg
    echo "  photos: ${#names[@]}, $(du -sm "$photos" | cut -f1) MB"
    quit_during_import "$photos" "${names[@]}"
    names=()
    convert -size 4960x7016 gradient:khaki-steelblue -fill black -pointsize 300 -gravity center \
        -annotate 0 "A4 scan" "$scans/scan-1.png"
    for i in 2 3 4 5 6 7 8; do
        cp "$scans/scan-1.png" "$scans/scan-$i.png"
    done
    for i in 1 2 3 4 5 6 7 8; do names+=("scan-$i.png"); done
    echo "  scans: ${#names[@]}, $(du -sm "$scans" | cut -f1) MB"
    quit_during_import "$scans" "${names[@]}"
}

# Another computer takes the lock over while the application runs (its start replaced a lock it could
# not check, and a sync tool brings its lock here, as a new file in place of the old); then Quit.
scene_lock_rewritten() {
    profile lock-rewritten
    start
    echo "  the lock names: $(head -3 "$data/instance.lock" | tr '\n' ' ')(the start: $app_pid)"
    printf '4242\nlyrafold\nother-computer\n0123456789abcdef0123456789abcdef\nfedcba9876543210fedcba9876543210\n' \
        >"$data/.instance.lock.sync"
    mv "$data/.instance.lock.sync" "$data/instance.lock"
    quit
    echo "  after Quit the lock: $([ -f "$data/instance.lock" ] && head -3 "$data/instance.lock" | tr '\n' ' ' || echo gone)"
}

# wait_for_rows: until the slot read at start is shown (30 s at most), and two seconds more.
wait_for_rows() {
    for _ in $(seq 300); do
        grep -q "library rows shown: [1-9]" "$prof/tmp/Lyrafold_launch.log" && break
        sleep 0.1
    done
    sleep 2
}

# row_genre SLOT TITLE: the genre of the first row of the slot's file with the title.
row_genre() {
    python3 - "$slots/slot_$1.json" "$2" <<'EOF'
import json, sys
rows = json.load(open(sys.argv[1]))["bookmarks"]
print(next((repr(r.get("genre")) for r in rows if r["title"] == sys.argv[2]), "no such row"))
EOF
}

# row_title SLOT N: the title of the slot file's row N.
row_title() {
    python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["bookmarks"][int(sys.argv[2])]["title"])' \
        "$slots/slot_$1.json" "$2"
}

# prepare_landing JOB: what the job needs before the start (merge: a Slot 2 as large as Slot 1, 220 of its
# songs new to it, so that reading it keeps the merge in flight; metadata: a file naming the second row).
prepare_landing() {
    case "$1" in
    merge)
        python3 - "$slots/slot_1.json" "$slots/slot_2.json" <<'EOF'
import json, sys
d = json.load(open(sys.argv[1]))
for i, r in enumerate(d["bookmarks"][:220]):
    r["title"] = "Merged %d" % i
json.dump(d, open(sys.argv[2], "w"))
EOF
        ;;
    metadata) printf 'Title,Genre\n"%s",Latin\n' "$(row_title 1 1)" >"$prof/meta.csv" ;;
    esac
}

# start_landing JOB: the job begun from the menus (reload, merge, metadata, bundled; the others do nothing).
start_landing() {
    case "$1" in
    reload | dialog-reload)
        x mousemove $slots_menu click 1
        sleep 0.5
        x mousemove 269 189 click 1
        ;;
    merge)
        x mousemove $slots_menu click 1
        sleep 0.5
        x mousemove 285 233 click 1
        timeout 30 xdotool search --sync --onlyvisible --name "Merge slots into" >/dev/null
        sleep 0.3
        x type 2
        x key Return
        ;;
    metadata)
        x mousemove $tools_menu click 1
        sleep 0.5
        x mousemove 350 189 click 1
        timeout 30 xdotool search --sync --onlyvisible --name "Import metadata file" >/dev/null
        sleep 0.5
        x type "$prof/meta.csv"
        x key Return
        ;;
    bundled)
        x mousemove $tools_menu click 1
        sleep 0.5
        x mousemove 340 257 click 1
        ;;
    esac
}

# A cell's field opened and typed into while work runs on a large slot (BOOKMARKS, 200,000 unless
# given; a merge or a metadata change of 200,000 rows may land before the field opens: 1,000,000), then
# the work lands: what the field shows, what the slot's file holds after the landing and
# after Ctrl+Q. LANDINGS picks the work: reload (Reload Slot from Disk), merge (Merge Slots into Current,
# 220 songs of Slot 2 new to it), metadata (a metadata file, a search shown), bundled (Apply Bundled Metadata Only,
# a search shown), search (a search typed, its pass over the whole slot landing).
scene_landing() {
    local job title
    for job in ${LANDINGS:-reload merge metadata bundled search}; do
        BOOKMARKS="${BOOKMARKS:-200000}" profile "landing-$job"
        title="$(row_title 1 0)"
        prepare_landing "$job"
        start
        # The slot read at start is in.
        wait_for_rows
        echo "  $job: $(slot_rows 1), the row typed into: \"$title\", genre $(row_genre 1 "$title")"
        case "$job" in metadata | bundled)
            x mousemove $search_field click 1
            x type --delay 10 "$title"
            sleep 3
            ;;
        esac
        x mousemove $edit_button click 1
        sleep 0.5
        start_landing "$job"
        case "$job" in
        search)
            x mousemove $search_field click 1
            x type --delay 5 "$title"
            ;;
        esac
        sleep 0.1
        x mousemove $first_genre_cell click 1
        sleep 0.25
        x type --delay 20 "Mambo"
        shot "landing-$job-1-typed"
        sleep 8
        shot "landing-$job-2-landed"
        echo "  $job: after the landing, the file: $(row_genre 1 "$title")"
        x key ctrl+q
        echo "  $job: Ctrl+Q: the application $(ended); the file: $(row_genre 1 "$title")"
        stop
    done
}

# The first row selected on a large slot (BOOKMARKS, 200,000 unless given), the Slot 2 tile clicked (Slot 2
# holds the same songs) and Tools > Edit Metadata for Selected Row… opened at once; "Mambo" typed as the
# genre while Slot 2 is read: whether the dialog is still open once Slot 2 is shown (then Save is
# pressed), and the genre of that title in Slot 1's and Slot 2's files.
scene_dialog_landing() {
    local title
    BOOKMARKS="${BOOKMARKS:-200000}" profile dialog-landing
    cp "$slots/slot_1.json" "$slots/slot_2.json"
    title="$(row_title 1 0)"
    start
    wait_for_rows
    echo "  before: \"$title\": Slot 1 genre $(row_genre 1 "$title"), Slot 2 genre $(row_genre 2 "$title")"
    # The row selected through its genre cell's field, closed without a change.
    x mousemove $edit_button click 1
    sleep 0.5
    x mousemove $first_genre_cell click 1
    sleep 0.8
    x key Escape
    x mousemove $slot2_tile click 1
    x mousemove $tools_menu click 1
    sleep 0.5
    x mousemove 325 167 click 1
    if ! timeout 10 xdotool search --sync --onlyvisible --name "Edit metadata" >/dev/null; then
        shot dialog-landing-1-no-dialog
        echo "  the dialog was not seen within 10 s (the switch may have landed first): $(slot_rows 1)"
        return
    fi
    x key ctrl+a
    x type --delay 20 "Mambo"
    shot dialog-landing-1-typed
    sleep 8
    shot dialog-landing-2-landed
    if xdotool search --onlyvisible --name "Edit metadata" >/dev/null 2>&1; then
        echo "  once Slot 2 is shown: the dialog is still open; Save pressed"
        x key Return
        sleep 2
    else
        echo "  once Slot 2 is shown: the dialog has closed"
    fi
    shot dialog-landing-3-after
    echo "  after: Slot 1 genre $(row_genre 1 "$title"), Slot 2 genre $(row_genre 2 "$title")"
    x key ctrl+q
    echo "  Ctrl+Q: the application $(ended); Slot 1 genre $(row_genre 1 "$title"), Slot 2 genre $(row_genre 2 "$title")"
}

# The data folder on a small disk of its own (tmpfs, 8 MB; needs mount), filled once the application
# runs; then a genre typed into a cell without Return and the application ended, by QUITS (Ctrl+Q,
# answered Cancel; the close button, answered Quit Anyway; SIGTERM; also ctrl-q-escape and
# ctrl-q-close-box, the alert answered by Escape or its close box): what the alert says, what the
# application does, and what the slot's file holds. After Cancel, room is made and Ctrl+Q pressed again.
scene_quit_answers() {
    local how title status
    for how in ${QUITS:-ctrl-q close-button sigterm}; do
        mkdir -p "$work/quit-full-$how/data"
        mount -t tmpfs -o size=8m tmpfs "$work/quit-full-$how/data"
        profile "quit-full-$how"
        start
        title="$(row_title 1 0)"
        dd if=/dev/zero of="$data/filler" bs=64k 2>/dev/null || true
        echo "  $how: the disk: $(df -h --output=avail "$data" | tail -1 | tr -d ' ') free"
        type_into_cell " Mambo"
        case "$how" in
        ctrl-q*) x key ctrl+q ;;
        close-button) x mousemove 1479 127 click 1 ;;
        sigterm) kill -TERM "$app_pid" ;;
        esac
        sleep 2
        shot "quit-full-$how-1-after"
        if kill -0 "$app_pid" 2>/dev/null; then
            echo "  $how: the application still runs; alert: $(xdotool search --onlyvisible --name Lyrafold getwindowname %@ 2>/dev/null | tr '\n' '|')"
            case "$how" in
            ctrl-q*)
                case "$how" in
                ctrl-q-escape) x key Escape ;;
                ctrl-q-close-box) x key alt+F4 ;; # the window manager's close, as the alert's close box
                *) x key Return ;;                # Cancel, the default
                esac
                sleep 1
                shot "quit-full-$how-2-cancelled"
                echo "  $how: after Cancel: $(kill -0 "$app_pid" 2>/dev/null && echo "still runs" || echo ended); the file: $(row_genre 1 "$title")"
                rm -f "$data/filler"
                x key ctrl+q
                ;;
            close-button)
                x key Tab
                x key space # Quit Anyway
                ;;
            esac
        fi
        status=0
        for _ in $(seq 50); do
            kill -0 "$app_pid" 2>/dev/null || break
            sleep 0.2
        done
        wait "$app_pid" 2>/dev/null || status=$?
        app_pid=""
        echo "  $how: ended with status $status; the file: $(row_genre 1 "$title"); standard error: $(grep -h "could not save" "$prof/app.log" | tail -1)"
        umount "$work/quit-full-$how/data"
    done
}

# A slot of 1,000,000 songs (BOOKMARKS to change it) started and left to settle (its indexes made: the
# process quiet for two seconds), then Ctrl+Q: how long until the window was gone and until the process
# had ended, three times.
scene_quit_settled() {
    local round ticks before start hidden ended
    BOOKMARKS="${BOOKMARKS:-1000000}" profile quit-large
    for round in 1 2 3; do
        start
        for _ in $(seq 300); do
            grep -q "library rows shown: [1-9]" "$prof/tmp/Lyrafold_launch.log" && break
            sleep 0.1
        done
        # Settled: no processor time used over two seconds.
        before=-1
        for _ in $(seq 60); do
            ticks=$(awk '{print $14 + $15}' "/proc/$app_pid/stat")
            [ "$ticks" = "$before" ] && break
            before=$ticks
            sleep 2
        done
        if [ "${QUIT_LANDING:-0}" = 1 ]; then
            # Slots > Reload Slot from Disk, then "Mam" typed into the first row's genre: the reload, read
            # meanwhile, waits for the field.
            x mousemove $edit_button click 1
            sleep 0.5
            x mousemove $slots_menu click 1
            sleep 0.5
            x mousemove 269 189 click 1
            sleep 0.2
            x mousemove $first_genre_cell click 1
            sleep 0.3
            x key ctrl+a
            x type --delay 150 "Mam"
            sleep 6
        fi
        start=$(date +%s%N)
        x key ctrl+q
        while xdotool search --onlyvisible --name "LYRAFOLD" >/dev/null 2>&1; do sleep 0.005; done
        hidden=$(date +%s%N)
        while kill -0 "$app_pid" 2>/dev/null && ! grep -q . <(awk '$3 == "Z"' "/proc/$app_pid/stat" 2>/dev/null); do sleep 0.005; done
        wait "$app_pid" 2>/dev/null || true
        ended=$(date +%s%N)
        app_pid=""
        echo "  round $round (load $(cut -d' ' -f1 /proc/loadavg)): the window gone $(((hidden - start) / 1000000)) ms after Ctrl+Q, the process $(((ended - start) / 1000000)) ms after$([ "${QUIT_LANDING:-0}" = 1 ] && echo "; the first row's genre in the file: $(python3 -c 'import json,sys; print(repr(json.load(open(sys.argv[1]))["bookmarks"][0].get("genre")))' "$slots/slot_1.json")")"
    done
}

# type_across_landing NAME: a long genre typed into the first row's cell at a human pace (0.2 s a key)
# while work is in flight, a picture every second, then Return: the word is typed across the moment the
# work comes back.
word="Zqslowlytypedgenrewords"
type_across_landing() {
    local n=0 i
    x mousemove $first_genre_cell click 1
    sleep 0.25
    x key ctrl+a
    for ((i = 0; i < ${#word}; i++)); do
        x type "${word:i:1}"
        sleep 0.2
        if ((i % 5 == 4)); then
            n=$((n + 1))
            shot "$1-typing-$n"
        fi
    done
    x key Return
}

# A long genre typed into the first row's cell at a human pace while work on a large slot (BOOKMARKS,
# 200,000 unless given; APP_CPUS=0 keeps it in flight longer) comes back half way through the word, then
# Return: what the first row of Slot 1's file holds once the work has landed, and after Ctrl+Q.
# WORD_LANDINGS picks the work: reload, merge (220 songs of Slot 2 new to it), metadata (a metadata file,
# a search shown), bundled (Apply Bundled Metadata Only, a search shown), switch (the Slot 2 tile, Slot 2
# holding the same songs), outside (another program rewrites Slot 1's file in place a second into the
# word, as Python's json.dump writes it, another row's style changed), dialog-reload and dialog-switch
# (the word typed into Tools > Edit Metadata for Selected Row…'s Genre, then Save).
scene_word_landing() {
    local job title
    for job in ${WORD_LANDINGS:-reload merge metadata bundled switch outside dialog-reload dialog-switch}; do
        BOOKMARKS="${BOOKMARKS:-200000}" profile "word-$job"
        title="$(row_title 1 0)"
        prepare_landing "$job"
        case "$job" in switch | dialog-switch) cp "$slots/slot_1.json" "$slots/slot_2.json" ;; esac
        start
        wait_for_rows
        case "$job" in metadata | bundled)
            x mousemove $search_field click 1
            x type --delay 10 "$title"
            sleep 3
            ;;
        esac
        x mousemove $edit_button click 1
        sleep 0.5
        case "$job" in dialog-*)
            # The row selected through its genre cell's field, closed without a change.
            x mousemove $first_genre_cell click 1
            sleep 0.8
            x key Escape
            ;;
        esac
        start_landing "$job"
        case "$job" in
        switch | dialog-switch) x mousemove $slot2_tile click 1 ;;
        outside)
            (sleep 1.5 && python3 - "$slots/slot_1.json" <<'EOF2'
import json, sys
path = sys.argv[1]
d = json.load(open(path))
d["bookmarks"][1]["style"] = "Outside Waltz é"
# In place, as an editor that keeps the file does: opened, truncated, written.
with open(path, "r+") as f:
    f.truncate(0)
    json.dump(d, f)
EOF2
            ) &
            ;;
        esac
        case "$job" in
        dialog-*)
            x mousemove $tools_menu click 1
            sleep 0.5
            x mousemove 325 167 click 1
            timeout 10 xdotool search --sync --onlyvisible --name "Edit metadata" >/dev/null || echo "  no dialog"
            x key ctrl+a
            local i
            for ((i = 0; i < ${#word}; i++)); do
                x type "${word:i:1}"
                sleep 0.2
                ((i % 5 == 4)) && shot "word-$job-typing-$((i / 5 + 1))"
            done
            shot "word-$job-before-save"
            x key Return
            ;;
        *) type_across_landing "word-$job" ;;
        esac
        sleep 8
        shot "word-$job-landed"
        echo "  $job: the first row of Slot 1's file: $(row_genre 1 "$title")$([ "$job" = outside ] && echo ", the second row's style: $(python3 -c 'import json,sys; print(repr(json.load(open(sys.argv[1]))["bookmarks"][1].get("style")))' "$slots/slot_1.json")")$(case "$job" in *switch) echo ", of Slot 2's: $(row_genre 2 "$title")" ;; esac)"
        x key ctrl+q
        echo "  $job: Ctrl+Q: the application $(ended); Slot 1's file: $(row_genre 1 "$title")"
        stop
    done
}

# foreign_slot ROWS STYLE: Slot 1's file as another program writes it: ROWS songs whose every text holds
# quotes, backslashes, accents, a character beyond the first plane and a control character, written by
# Python's json.dump with its defaults (STYLE "ascii": every character past ASCII as a \u escape) or
# compact with ensure_ascii=False ("utf8"). A copy of what was written is kept as slot_1.written.json.
foreign_slot() {
    python3 - "$slots/slot_1.json" "$1" "$2" <<'EOF2'
import json, sys
path, count, style = sys.argv[1], int(sys.argv[2]), sys.argv[3]
marks = ['Café "Blue" \\ Night', 'Gözlerin \\\\ "Kid" Ory', 'Señorita \U0001F3B5 \u00e9\u0301', 'Tab\there \u0001 ctl',
         'Çiğdem / ışık \u201cquoted\u201d']
rows = []
for i in range(count):
    m = marks[i % len(marks)]
    book = 'Book %s %d' % (m, i % 37)
    rows.append({"pdfFileName": book + ".pdf", "pdfFilePath": "/home/me/Bücher \"x\"/%s.pdf" % book, "pageNumber": i % 500 + 1,
                 "title": "%s title %d" % (m, i), "level": i % 2, "pageSpan": 1 + i % 3, "totalPages": 600,
                 "genre": "Genre %s %d" % (m, i % 11), "style": "Style %s %d" % (m, i % 13),
                 "firstReleaseYear": 1900 + i % 120, "composer": "Composer %s %d" % (m, i % 97),
                 "tempo": "Tempo %s %d" % (m, i % 5), "rating": (i % 11) / 2,
                 "spotifyURL": "https://open.spotify.com/track/%d?q=%s" % (i, m), "youtubeURL": ""})
doc = {"selectedFolder": "/home/me/Bücher \"x\"", "savedAt": 786000000.25, "bookmarks": rows}
with open(path, "w", encoding="utf-8") as f:
    if style == "ascii":
        json.dump(doc, f)
    else:
        json.dump(doc, f, ensure_ascii=False, separators=(",", ":"))
with open(path.replace("slot_1.json", "slot_1.written.json"), "w", encoding="utf-8") as f:
    json.dump(doc, f)
EOF2
}

# compare_foreign: Slot 1's file now against what the other program wrote: the rows that differ, field by
# field (the first row's genre was edited in the app).
compare_foreign() {
    python3 - "$slots/slot_1.json" "$slots/slot_1.written.json" <<'EOF2'
import json, sys
now, written = (json.load(open(p, encoding="utf-8")) for p in sys.argv[1:3])
a, b = now["bookmarks"], written["bookmarks"]
diff = []
for i, (x, y) in enumerate(zip(a, b)):
    for k in set(x) | set(y):
        if x.get(k) != y.get(k):
            diff.append("row %d %s: %r (written %r)" % (i, k, x.get(k), y.get(k)))
print("%d rows (written %d), folder %s; fields that differ: %d %s" % (
    len(a), len(b), "kept" if now.get("selectedFolder") == written.get("selectedFolder") else "CHANGED",
    len(diff), "; ".join(diff[:5])))
EOF2
}

# Slot 1's file written by another program (FOREIGN_SIZES rows, 235 20000 200000 unless given; both of
# foreign_slot's styles), the application started on it, the first row's genre edited, Ctrl+Q: whether it
# ended, and what of the file changed.
scene_foreign_files() {
    local rows style
    for rows in ${FOREIGN_SIZES:-235 20000 200000}; do
        for style in ascii utf8; do
            profile "foreign-$rows-$style"
            foreign_slot "$rows" "$style"
            start
            wait_for_rows
            echo "  $rows rows, $style: shown $(grep -o 'library rows shown: [0-9]*' "$prof/tmp/Lyrafold_launch.log" | tail -1)"
            type_into_cell "!"
            x key Return
            sleep 2
            x key ctrl+q
            echo "  $rows rows, $style: Ctrl+Q: the application $(ended); $(compare_foreign)"
            stop
        done
    done
}

# The Slots and Tools menus open, for the places of their items.
scene_menus() {
    profile menus
    start
    x mousemove $slots_menu click 1
    sleep 0.7
    shot menus-slots
    x key Escape
    x mousemove $tools_menu click 1
    sleep 0.7
    shot menus-tools
    x key Escape
}

# playlist_counts ROUNDS: how many of the other program's playlists (EXT-k) and of ours (mine-k) the
# playlists file holds, and what was kept beside it.
playlist_counts() {
    python3 - "$data/playlists.json" "$1" <<'EOF'
import json, sys
names = {p["name"] for p in json.load(open(sys.argv[1]))}
rounds = int(sys.argv[2])
theirs = [k for k in range(1, rounds + 1) if "EXT-%d" % k not in names]
ours = [k for k in range(1, rounds + 1) if "mine-%d" % k not in names]
print("theirs in the file: %d of %d (rounds lost: %s), ours: %d of %d (lost: %s), first: %s"
      % (rounds - len(theirs), rounds, theirs or "none", rounds - len(ours), rounds, ours or "none",
         "first" in names))
EOF
    echo "  beside the file: $(cd "$data" && ls -A | grep -E '^\.?playlists\.json\.' | tr '\n' ' ')"
}

# ROUNDS (30) times, a playlist named at a human pace in the playlists window's "Create New Playlist"
# prompt while another program, a script in rsync --inplace's order, opens playlists.json for writing,
# waits 0.2 s, then truncates it and writes what it read with a playlist of its own added; Return is
# pressed once it opened the file, GAP seconds (4) between rounds. What the file holds then, and after
# Ctrl+Q.
scene_inplace_writer() {
    profile inplace-writer
    printf '[{"name":"first","items":[]}]' >"$data/playlists.json"
    start
    local window rounds="${ROUNDS:-30}"
    window="$(open_window "$playlists_tile" 'Playlists$')"
    shot inplace-writer-1-window
    for k in $(seq 1 "$rounds"); do
        x windowactivate --sync "$window"
        x mousemove $create_playlist_button click 1
        sleep 1
        x type --delay 150 "mine-$k"
        sleep 0.3
        rm -f "$prof/opened"
        python3 - "$data/playlists.json" "$k" "$prof/opened" <<'EOF' &
import json, sys, time
path, k, opened = sys.argv[1], sys.argv[2], sys.argv[3]
data = json.load(open(path, 'rb'))
data.append({"name": "EXT-" + k, "items": []})
text = json.dumps(data, separators=(',', ':')).encode()
with open(path, 'r+b') as f:
    open(opened, 'w').close()
    time.sleep(0.2)
    f.truncate(0)
    f.write(text)
EOF
        local writer=$!
        while [ ! -e "$prof/opened" ]; do sleep 0.01; done
        x key Return
        wait "$writer"
        [ "$k" = 1 ] && shot inplace-writer-2-first-round
        sleep "${GAP:-4}"
    done
    sleep 4
    shot inplace-writer-3-after
    echo "  after $rounds rounds: $(playlist_counts "$rounds")"
    x windowactivate --sync "$(window_named '^LYRAFOLD \(beta\)$')"
    x key ctrl+q
    echo "  Ctrl+Q: $(ended)"
    echo "  after the quit: $(playlist_counts "$rounds")"
}

# For each of the data folder, the slots folder and the playlists file made unreadable (chmod 000; the
# program runs without root's power over permissions): what the start shows, how it ends, and whether it
# wrote anything in the data folder.
scene_unreadable_data() {
    local target name
    for target in . slots playlists.json; do
        name="$(case "$target" in .) echo data-folder ;; slots) echo slots ;; *) echo playlists-file ;; esac)"
        profile "unreadable-$name"
        printf '[{"name":"Gig","items":[]}]' >"$data/playlists.json"
        local before
        before="$(find "$XDG_DATA_HOME" -printf '%p %s %T@\n' | sort | md5sum)"
        chmod 000 "$data/$target"
        local wrap=()
        [ "$(id -u)" = 0 ] && wrap=(setpriv --bounding-set=-dac_override,-dac_read_search)
        QT_QPA_PLATFORM=xcb TMPDIR="$prof/tmp" XDG_RUNTIME_DIR="$prof/runtime" \
            DBUS_SESSION_BUS_ADDRESS="unix:path=$prof/no-bus" "${wrap[@]}" "$app" >>"$prof/app.log" 2>&1 &
        app_pid=$!
        sleep 4
        shot "unreadable-data-$name"
        echo "  $target: $(grep -m1 'cannot use its data folder' "$prof/app.log" || echo 'no word on stderr')"
        x key Return
        local status=running
        for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.2; done
        if ! kill -0 "$app_pid" 2>/dev/null; then
            wait "$app_pid" && status=0 || status=$?
        fi
        stop
        chmod 755 "$data/$target"
        [ "$target" = playlists.json ] && chmod 644 "$data/$target"
        local after
        after="$(find "$XDG_DATA_HOME" -printf '%p %s %T@\n' | sort | md5sum)"
        echo "  $target: after Return the program: $status; data folder $([ "$before" = "$after" ] && echo unchanged || echo CHANGED)"
    done
}

# A book whose path is BOOK_PATH_BYTES (180) bytes long, first in Slot 1: opened, Edit, a stroke, Done,
# the viewer closed. Whether its annotation file was written, under what name, and what the log says.
scene_long_book_path() {
    profile long-book-path
    local bytes="${BOOK_PATH_BYTES:-180}" folder="$prof/books/"
    local name=Book.pdf
    local pad=$((bytes - ${#folder} - 1 - ${#name}))
    folder="$folder$(printf 'b%.0s' $(seq 1 "$pad"))"
    mkdir -p "$folder"
    cp "$build/demo/books/Lyrafold Demo Fakebook.pdf" "$folder/Book.pdf"
    python3 - "$slots/slot_1.json" "$folder/Book.pdf" <<'PY'
import json, os, sys
path, book = sys.argv[1:3]
d = json.load(open(path))
rows = d["bookmarks"]
rows.insert(0, dict(rows[0], title="Aaa Long Path", pdfFileName=os.path.basename(book), pdfFilePath=book,
                    pageNumber=1, pageSpan=1))
json.dump(d, open(path, "w"))
PY
    echo "  book path: $(printf '%s' "$folder/Book.pdf" | wc -c) bytes"
    start
    open_first_title
    x windowmove "$viewer" 20 40 windowsize "$viewer" 1560 840
    sleep 1.5
    x mousemove 1037 78 click 1
    sleep 0.8
    x mousemove 650 450 mousedown 1
    for step in $(seq 1 12); do x mousemove $((650 + step * 12)) $((450 + step * 3)); done
    x mousemove 794 486 mouseup 1
    sleep 0.5
    x mousemove 1073 78 click 1
    sleep 0.8
    shot long-book-path-1-stroke
    x windowclose "$viewer"
    sleep 2
    shot long-book-path-2-closed
    local cache="$XDG_DATA_HOME/LyrafoldMac/PDFEditCache"
    echo "  annotation files: $(ls -A "$cache" 2>/dev/null | awk '{ printf "%s (%d bytes of name) ", $0, length($0) }')"
    echo "  strokes in them: $(cat "$cache"/* 2>/dev/null | grep -o '"points"' | wc -l)"
    echo "  log: $(grep -m1 -i 'too long\|cannot write' "$prof/app.log" || echo 'no failed write')"
    stop
}

# small_data_folder SIZE: the profile's data folder moved onto a tmpfs of SIZE (before the start).
small_data_folder() {
    mv "$XDG_DATA_HOME" "$prof/data-before"
    mkdir -p "$XDG_DATA_HOME"
    mount -t tmpfs -o "size=$1" tmpfs "$XDG_DATA_HOME"
    mounted+=("$XDG_DATA_HOME")
    cp -a "$prof/data-before/." "$XDG_DATA_HOME/"
}

fill_data_folder() { dd if=/dev/zero of="$XDG_DATA_HOME/filler" bs=4k 2>/dev/null || true; }
make_room() { rm -f "$XDG_DATA_HOME/filler"; }

# type_genre TEXT: Edit, a click on the first row's genre cell, TEXT typed at its end at a human pace;
# no Return.
type_genre() {
    x windowactivate --sync "$(window_named '^LYRAFOLD \(beta\)$')"
    x mousemove $edit_button click 1
    sleep 0.5
    x mousemove $first_genre_cell click 1
    sleep 0.8
    x key End
    x type --delay 150 "$1"
    sleep 0.3
}

# alert_window: the alert that has the keys now (its title is "Lyrafold"), if any. By the active window:
# an alert without a title of its own has it only as _NET_WM_NAME, which a search by name does not see.
alert_window() {
    local active
    active="$(x getactivewindow 2>/dev/null)" || return 0
    [ "$(x getwindowname "$active" 2>/dev/null)" = Lyrafold ] && echo "$active" || true
}

# dismiss_alert NAME: a picture of the alert shown now (if any), then Return, which answers its default.
dismiss_alert() {
    local alert=""
    for _ in $(seq 30); do
        alert="$(alert_window)" && [ -n "$alert" ] && break
        sleep 0.2
    done
    if [ -z "$alert" ]; then
        echo "  $1: no alert"
        return
    fi
    shot "$1"
    x windowactivate --sync "$alert" key Return
    sleep 1
}

# quit_by COMMAND...: the command (Ctrl+Q, a click, a signal), then, until the process ended or an alert
# showed (30 s at most), the times and the status the process ended with, in quit_result.
quit_by() {
    "$@"
    local begin gone="" outcome="still running after 30 s" status
    begin="$(now_ms)"
    while [ $(($(now_ms) - begin)) -lt 30000 ]; do
        [ -z "$gone" ] && [ -z "$(window_named '^LYRAFOLD \(beta\)$')" ] && gone="$(($(now_ms) - begin)) ms"
        if [ -n "$(alert_window)" ]; then
            outcome="the alert showed after $(($(now_ms) - begin)) ms"
            break
        fi
        if ! kill -0 "$app_pid" 2>/dev/null; then
            outcome="the process ended after $(($(now_ms) - begin)) ms"
            wait "$app_pid" 2>/dev/null && status=0 || status=$?
            outcome+=" with status $status"
            app_pid=""
            break
        fi
        sleep 0.05
    done
    quit_result="the window went after ${gone:-(never)}, $outcome"
}

# ctrl_q: Ctrl+Q in the main window (or in the window that has the keys when it is hidden).
ctrl_q() {
    local main
    main="$(window_named '^LYRAFOLD \(beta\)$')"
    if [ -n "$main" ]; then x windowactivate --sync "$main" key ctrl+q; else x key ctrl+q; fi
}

# told_at_quit: the lines about saves that could not be made in the launch log and on standard error.
told_at_quit() {
    grep -h "could not save" "$prof/tmp/Lyrafold_launch.log" "$prof/app.log" 2>/dev/null | sed 's/^/    /' || true
}

# state_files: what the slot files, slots_meta.json and the annotation files hold now.
state_files() {
    python3 - "$slots" "$XDG_DATA_HOME/LyrafoldMac/PDFEditCache" <<'EOF'
import json, os, sys
slots, cache = sys.argv[1:3]
for n in (1, 2):
    path = os.path.join(slots, "slot_%d.json" % n)
    try:
        rows = json.load(open(path))["bookmarks"]
        print("    slot_%d.json: %d rows, first genre %r" % (n, len(rows), rows[0].get("genre") if rows else None))
    except Exception as e:
        print("    slot_%d.json: %s" % (n, type(e).__name__))
meta = json.load(open(os.path.join(slots, "slots_meta.json")))
print("    slots_meta.json: activeSlot %r, counts %r" % (meta.get("activeSlot"), meta.get("slotCounts")))
files = sorted(os.listdir(cache)) if os.path.isdir(cache) else []
for name in files:
    try:
        d = json.load(open(os.path.join(cache, name)))
        strokes = sum(len(v) for v in d["strokesByPage"].values())
        print("    annotation file %s…: %d stroke(s)" % (name[:12], strokes))
    except Exception as e:
        print("    annotation file %s…: %s" % (name[:12], type(e).__name__))
if not files:
    print("    no annotation file")
EOF
}

scene_quit_full() {
    profile quit-full
    small_data_folder 8m
    start
    open_first_title
    x windowmove "$viewer" 20 40 windowsize "$viewer" 1560 840
    sleep 1.5
    x mousemove 1037 78 click 1
    sleep 0.8
    fill_data_folder
    echo "  the data folder: $(df -h --output=used,size "$XDG_DATA_HOME" | tail -1)"
    x mousemove 650 450 mousedown 1
    for step in $(seq 1 12); do
        x mousemove $((650 + step * 12)) $((450 + step * 3))
        sleep 0.02
    done
    x mousemove 794 486 mouseup 1
    sleep 1
    dismiss_alert quit-full-1-stroke-not-saved
    # The viewer closed (Alt+F4) and the title opened again: what it shows of the book.
    x windowactivate --sync "$viewer" key alt+F4
    sleep 1.5
    open_first_title
    x windowmove "$viewer" 20 40 windowsize "$viewer" 1560 840
    sleep 2
    shot quit-full-1b-book-opened-again
    x windowmove "$viewer" 990 480 windowsize "$viewer" 600 400
    sleep 1
    type_genre " Bebop"
    x key Return
    sleep 1
    dismiss_alert quit-full-2-cell-not-saved
    x mousemove $slot2_tile click 1
    sleep 2
    dismiss_alert quit-full-3-switch-not-saved
    shot quit-full-4-before-quit
    quit_by ctrl_q
    echo "  Ctrl+Q: $quit_result"
    shot quit-full-5-quit-alert
    told_at_quit
    x windowactivate --sync "$(alert_window)" key Return
    sleep 1
    shot quit-full-6-cancelled
    make_room
    quit_by ctrl_q
    echo "  room made, Ctrl+Q: $quit_result"
    if [ -n "$app_pid" ]; then
        shot quit-full-7-second-alert
        quit_by x windowactivate --sync "$(alert_window)" key Tab key space
        echo "  Quit Anyway: $quit_result"
    fi
    state_files
}

# hold_lock FILE: another process takes Lyrafold's lock of FILE (as QLockFile writes it: its process, its
# program, this computer) and keeps it until it is ended; its process in lock_holder.
hold_lock() {
    python3 -c '
import os, signal, socket, sys, time
path = sys.argv[1]
fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
program = os.path.basename(os.readlink("/proc/self/exe"))
os.write(fd, ("%d\n%s\n%s\n" % (os.getpid(), program, socket.gethostname())).encode())
os.close(fd)
def give_up(*_):
    os.unlink(path)
    sys.exit(0)
signal.signal(signal.SIGTERM, give_up)
while True:
    time.sleep(1)
' "$1" &
    lock_holder=$!
    sleep 0.3
}

# outside_change HOW: what another program does to slot_1.json: removes it, writes half of it in place,
# or writes a version of its own (the first row's style "Cool") and renames it into place.
outside_change() {
    case "$1" in
    removed) rm -f "$slots/slot_1.json" ;;
    half-written)
        python3 -c '
import sys
path = sys.argv[1]
data = open(path, "rb").read()
with open(path, "r+b") as f:
    f.truncate(0)
    f.write(data[: len(data) // 2])
' "$slots/slot_1.json"
        ;;
    rewritten)
        python3 -c '
import json, os, sys
path = sys.argv[1]
d = json.load(open(path))
d["bookmarks"][0]["style"] = "Cool"
json.dump(d, open(path + ".other", "w"))
os.rename(path + ".other", path)
' "$slots/slot_1.json"
        ;;
    esac
}

scene_quit_outside() {
    local how
    lock_holder=""
    for how in removed half-written rewritten locked locked-sigterm; do
        profile "quit-outside-$how"
        start
        type_genre " Bebop"
        case "$how" in
        locked | locked-sigterm) hold_lock "$slots/.slot_1.json.lock" ;;
        *) outside_change "$how" ;;
        esac
        if [ "$how" = locked-sigterm ]; then
            quit_by kill -TERM "$app_pid"
            echo "  $how, SIGTERM: $quit_result"
        else
            quit_by ctrl_q
            echo "  $how, Ctrl+Q: $quit_result"
        fi
        if [ -n "$app_pid" ] && [ -n "$(alert_window)" ]; then
            shot "quit-outside-$how-alert"
            told_at_quit
            x windowactivate --sync "$(alert_window)" key Return
            sleep 1
            kill "$lock_holder" 2>/dev/null || true
            wait "$lock_holder" 2>/dev/null || true
            lock_holder=""
            quit_by ctrl_q
            echo "  Cancel, the lock given up, Ctrl+Q: $quit_result"
        fi
        [ "$how" = locked-sigterm ] && told_at_quit
        if [ -n "$app_pid" ]; then
            shot "quit-outside-$how-unended"
            echo "  ended with kill"
            stop
        fi
        [ -n "$lock_holder" ] && kill "$lock_holder" 2>/dev/null || true
        lock_holder=""
        echo "  slot_1.json: $(slot_rows 1 genre style 2>&1 | tail -1); set aside: $(ls "$slots" | grep -c unreadable || true)"
    done
}

scene_quit_large() {
    local rows="${BOOKMARKS:-1000000}" size
    BOOKMARKS="$rows" profile quit-large
    start
    wait_for_rows
    quit_by ctrl_q
    echo "  $rows rows, nothing to save, Ctrl+Q: $quit_result"
    BOOKMARKS="$rows" profile quit-large-full
    rm -f "$slots/slot_0.json" "$slots/slot_2.json"
    # Room for the slot's file and half of it again: its next save cannot be written.
    size=$(($(stat -c %s "$slots/slot_1.json") * 3 / 2 + 4 * 1024 * 1024))
    small_data_folder "$size"
    start
    wait_for_rows
    type_genre " Bebop"
    x key Return
    for _ in $(seq 600); do
        [ -n "$(alert_window)" ] && break
        sleep 0.1
    done
    dismiss_alert quit-large-1-not-saved
    quit_by ctrl_q
    echo "  a failed save of $rows rows pending, Ctrl+Q: $quit_result"
    shot quit-large-2-quit-alert
    told_at_quit
    if [ -n "$(alert_window)" ]; then
        quit_by x windowactivate --sync "$(alert_window)" key Tab key space
        echo "  Quit Anyway: $quit_result"
    fi
    [ -n "$app_pid" ] && stop
    echo "  slot_1.json: $(slot_rows 1 genre)"
}

# A genre typed and Return (the save swaps the file's version out and keeps it for three seconds), then
# Ctrl+Q at once, ROUNDS (3) times: how long the quit took, and what the file holds.
scene_quit_after_edit() {
    local round
    for round in $(seq "${ROUNDS:-3}"); do
        BOOKMARKS="${BOOKMARKS:-235}" profile quit-after-edit
        start
        wait_for_rows
        type_genre " Bebop"
        x key Return
        sleep 0.3
        quit_by ctrl_q
        echo "  round $round: Ctrl+Q 0.3 s after Return: $quit_result; slot_1.json: $(slot_rows 1 genre);" \
            "versions kept aside: $(find "$slots" -name '.*replaced-*' | wc -l)"
    done
}

scene_quit_menu_alert() {
    local ending alert
    for ending in ctrl-q close-button; do
        profile "quit-menu-alert-$ending"
        small_data_folder 8m
        start
        fill_data_folder
        type_genre " Bebop"
        # The menu opened, then Quit Lyrafold: the field's text is saved as the quit begins, and fails.
        x mousemove 143 146 click 1
        sleep 0.7
        shot "quit-menu-alert-$ending-1-menu"
        quit_by x mousemove 198 167 click 1
        echo "  Quit Lyrafold: $quit_result"
        shot "quit-menu-alert-$ending-2-quit-alert"
        alert="$(alert_window)"
        [ -n "$alert" ] && x windowactivate --sync "$alert" key Return
        sleep 1.5
        shot "quit-menu-alert-$ending-3-cancelled"
        make_room
        echo "  after Cancel, the windows shown: $(x search --all --onlyvisible --pid "$app_pid" --name '.' getwindowname %@ 2>/dev/null | tr '\n' '|')"
        x mousemove $slot2_tile click 1
        sleep 2.5
        shot "quit-menu-alert-$ending-4-slot2-clicked"
        echo "  the Slot 2 tile clicked: slots_meta.json's activeSlot $(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["activeSlot"])' "$slots/slots_meta.json")"
        x mousemove 143 146 click 1
        sleep 1
        shot "quit-menu-alert-$ending-5-menu-clicked"
        x key Escape
        sleep 0.5
        if [ "$ending" = ctrl-q ]; then
            quit_by x key ctrl+q
            echo "  Ctrl+Q: $quit_result"
        else
            quit_by x mousemove 1479 127 click 1
            echo "  the close button: $quit_result"
        fi
        if [ -n "$app_pid" ]; then
            shot "quit-menu-alert-$ending-6-unanswered"
            echo "  ended with kill"
            stop
        fi
        echo "  slot_1.json: $(slot_rows 1 genre)"
    done
}

for scene in "$@"; do
    echo "== $scene"
    "scene_${scene//-/_}"
    stop
done
