#!/bin/sh
# with-window-manager.sh COMMAND...: runs COMMAND on a virtual X display of its own (Xvfb) whose windows
# openbox manages, for the tests that need the frames and title bars of a desktop. Exits with COMMAND's
# status; the display and the window manager end with it.
set -eu
work=$(mktemp -d "${TMPDIR:-/tmp}/lyrafold-wm-XXXXXX")
xvfb=""
wm=""
stop() {
    [ -n "$wm" ] && kill "$wm" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap stop EXIT

# Xvfb picks a free display and writes its number once it takes clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
tries=0
until [ -s "$work/display" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "with-window-manager.sh: Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done
DISPLAY=":$(cat "$work/display")"
export DISPLAY

# openbox runs its start-up command once it manages the display. It splits the command as a shell
# would: the folder (TMPDIR's, which may hold spaces or quotes) goes in single quotes.
quoted=$(printf '%s' "$work/managing" | sed "s/'/'\\\\''/g")
HOME="$work" XDG_CONFIG_HOME="$work" XDG_CACHE_HOME="$work" \
    openbox --sm-disable --startup "touch '$quoted'" >"$work/openbox.log" 2>&1 &
wm=$!
tries=0
until [ -e "$work/managing" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$wm" 2>/dev/null; then
        echo "with-window-manager.sh: openbox did not start:" >&2
        cat "$work/openbox.log" >&2
        exit 1
    fi
    sleep 0.1
done

# Under AddressSanitizer, strict string checks take libxkbcommon-x11's strndup of a keymap name, which
# its X reply holds without a terminating NUL, for a read past the reply: the check is off for this
# program's connection to the display; every other check stays.
if [ -n "${ASAN_OPTIONS:-}" ]; then
    ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
    export ASAN_OPTIONS
fi
status=0
QT_QPA_PLATFORM=xcb "$@" || status=$?
exit "$status"
