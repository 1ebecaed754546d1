# Sourced by the screenshot scripts: start_virtual_display SCREEN LOG starts Xvfb on a display number
# nobody uses (from FIRST_DISPLAY, default 99, upwards), sets display (the number) and xvfb_pid, and
# returns once the display takes clients.
start_virtual_display() {
    display="${FIRST_DISPLAY:-99}"
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 "$1" -nolisten tcp >"$2" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
}

# start_screenshot_display SCREEN WORK: the virtual display and, with openbox installed, a window manager
# on it, so that windows get the frames and title bars of a desktop. Both end, and the folder WORK is
# removed, when the script exits.
start_screenshot_display() {
    screenshot_work="$2"
    wm_pid=""
    trap stop_screenshot_display EXIT
    start_virtual_display "$1" "$screenshot_work/xvfb.log"
    if command -v openbox >/dev/null; then
        DISPLAY=":$display" openbox --sm-disable >"$screenshot_work/openbox.log" 2>&1 &
        wm_pid=$!
        sleep 0.5
    fi
}

stop_screenshot_display() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$screenshot_work"
}

# photograph_when_ready LOG PID PICTURE [SETTLE]: once the program PID has written "ready" to LOG (30 s at
# most) and SETTLE seconds more have passed, the whole screen into PICTURE; then the program ends.
photograph_when_ready() {
    local log="$1" pid="$2" picture="$3"
    for _ in $(seq 300); do
        grep -q '^ready' "$log" 2>/dev/null && break
        sleep 0.1
    done
    sleep "${4:-0}"
    DISPLAY=":$display" import -window root "$picture"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "$picture"
}
